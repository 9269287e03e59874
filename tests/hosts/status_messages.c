/*
 * Prints every status the public headers' message functions know, one per
 * line as "<library> <status> <message>", so that a host in another
 * language can check its own reading of the headers against them.
 */
#include <stdio.h>
#include <string.h>

#include <orlesk.h>
#include <tavrel.h>

static void PrintKnown(const char *library, const char *(*message)(int32_t)) {
  /* Every status lies between -999 and 999; unknown ones share one text. */
  for (int32_t status = -999; status <= 999; ++status) {
    if (strcmp(message(status), "unknown status") != 0) {
      printf("%s %d %s\n", library, (int)status, message(status));
    }
  }
}

int main(void) {
  PrintKnown("tavrel", TavrelStatusMessage);
  PrintKnown("orlesk", OrleskStatusMessage);
  return 0;
}
