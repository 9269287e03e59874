/* Both public headers compiled as C11, so that a C host can use them. */
#include <orlesk.h>
#include <tavrel.h>

#include "headers_from_c.h"

const char *TavrelMessageFromC(int32_t status) { return TavrelStatusMessage(status); }

const char *OrleskMessageFromC(int32_t status) { return OrleskStatusMessage(status); }
