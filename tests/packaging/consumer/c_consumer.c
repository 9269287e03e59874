/*
 * Links libtavrel from C as an installed package and halves the length of a
 * WAV file it writes itself. Usage: c_consumer WORK_DIR (an ASCII path).
 */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <uchar.h>

#include <tavrel.h>

enum { kHeaderSize = 44, kFrames = 2048, kRate = 8000, kPathCapacity = 512 };

static void put_le16(unsigned char *at, uint32_t value) {
  at[0] = (unsigned char)(value & 0xFFu);
  at[1] = (unsigned char)((value >> 8) & 0xFFu);
}

static void put_le32(unsigned char *at, uint32_t value) {
  put_le16(at, value & 0xFFFFu);
  put_le16(at + 2, value >> 16);
}

static uint32_t get_le32(const unsigned char *at) {
  return (uint32_t)at[0] | ((uint32_t)at[1] << 8) | ((uint32_t)at[2] << 16) |
         ((uint32_t)at[3] << 24);
}

/* 16-bit mono at 8 kHz: a rising ramp, so every frame differs. */
static int write_source(const char *path) {
  unsigned char header[kHeaderSize];
  const uint32_t data_size = kFrames * 2u;
  memcpy(header, "RIFF", 4);
  put_le32(header + 4, data_size + 36u);
  memcpy(header + 8, "WAVEfmt ", 8);
  put_le32(header + 16, 16u);
  put_le16(header + 20, 1u);
  put_le16(header + 22, 1u);
  put_le32(header + 24, kRate);
  put_le32(header + 28, kRate * 2u);
  put_le16(header + 32, 2u);
  put_le16(header + 34, 16u);
  memcpy(header + 36, "data", 4);
  put_le32(header + 40, data_size);

  FILE *file = fopen(path, "wb");
  if (file == NULL) return 0;
  int ok = fwrite(header, 1, sizeof header, file) == sizeof header;
  for (uint32_t frame = 0; ok && frame < kFrames; ++frame) {
    unsigned char sample[2];
    put_le16(sample, frame * 16u);
    ok = fwrite(sample, 1, 2, file) == 2;
  }
  return fclose(file) == 0 && ok;
}

/* Widens an ASCII path to UTF-16; 0 if it is not ASCII or too long. */
static int widen(const char *narrow, char16_t *wide, size_t capacity) {
  size_t i = 0;
  for (; narrow[i] != '\0'; ++i) {
    if (i + 1 >= capacity || (unsigned char)narrow[i] > 0x7F) return 0;
    wide[i] = (char16_t)narrow[i];
  }
  wide[i] = 0;
  return 1;
}

static int check(int condition, const char *what) {
  if (!condition) fprintf(stderr, "c_consumer: %s\n", what);
  return condition;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: c_consumer WORK_DIR\n");
    return 2;
  }
  char source[kPathCapacity];
  char destination[kPathCapacity];
  char16_t wide_source[kPathCapacity];
  char16_t wide_destination[kPathCapacity];
  snprintf(source, sizeof source, "%s/c_source.wav", argv[1]);
  snprintf(destination, sizeof destination, "%s/c_double_speed.wav", argv[1]);
  if (!check(write_source(source), "cannot write the source WAV") ||
      !check(widen(source, wide_source, kPathCapacity) &&
                 widen(destination, wide_destination, kPathCapacity),
             "the work directory must be a short ASCII path")) {
    return 1;
  }

  int ok = check(ApplySpeedEffectToWav(wide_source, wide_destination, 0) == TAVREL_ERROR_SPEED,
                 "speed 0 was not refused with TAVREL_ERROR_SPEED");
  int32_t status = ApplySpeedEffectToWav(wide_source, wide_destination, 200);
  ok &= check(status == TAVREL_SUCCESS, "speed 200 did not return TAVREL_SUCCESS");

  unsigned char header[kHeaderSize];
  FILE *file = fopen(destination, "rb");
  ok &= check(file != NULL, "the destination was not created");
  if (file != NULL) {
    size_t got = fread(header, 1, sizeof header, file);
    fseek(file, 0, SEEK_END);
    long length = ftell(file);
    fclose(file);
    ok &= check(got == sizeof header, "the destination has no full header");
    if (got == sizeof header) {
      ok &= check(get_le32(header + 24) == 2u * kRate, "the sample rate was not doubled");
      ok &= check(get_le32(header + 28) == 4u * kRate, "the byte rate was not doubled");
      /* Half the frames, two bytes each. */
      const uint32_t data_size = kFrames / 2u * 2u;
      ok &= check(get_le32(header + 40) == data_size, "the frame count was not halved");
      ok &= check(length == (long)(kHeaderSize + data_size),
                  "the file length does not match its header");
    }
  }
  printf("c_consumer: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
