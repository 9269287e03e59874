// What the public headers promise on their own: the exports' types, the
// project's version, and one distinct message for every status, the same
// from C and from C++.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <type_traits>

#include "headers_from_c.h"
#include "orlesk.h"
#include "tavrel.h"

// The exports as a host's function pointers spell them: UTF-16 paths in
// wchar_t and the standard calling convention on Windows (__stdcall, which
// only 32-bit x86 tells apart), char16_t and the C convention elsewhere.
// No conversion exists between conventions or character types, so each
// check below compiles only if the declaration has exactly that type. The
// functions are only declared: sizeof never calls them.
#if defined(_WIN32)
using HostChar = wchar_t;
#define HOST_CALL __stdcall
#else
using HostChar = char16_t;
#define HOST_CALL
#endif
bool HasHostType(int32_t(HOST_CALL*)(const HostChar*, const HostChar*, int32_t));
bool HasHostType(int32_t(HOST_CALL*)(const HostChar*, int32_t, int32_t));
bool HasHostType(int32_t(HOST_CALL*)());
static_assert(sizeof(HasHostType(&ApplySpeedEffectToWav)) == sizeof(bool));
static_assert(sizeof(HasHostType(&StartRecordingWav)) == sizeof(bool));
static_assert(sizeof(HasHostType(&StopRecordingWav)) == sizeof(bool));
static_assert(std::is_same_v<TavrelPathChar, HostChar> && std::is_same_v<OrleskPathChar, HostChar>);

namespace {

TEST(PublicHeaders, CarryTheProjectVersion) {
  EXPECT_EQ(TAVREL_VERSION_MAJOR, PROJECT_VERSION_MAJOR);
  EXPECT_EQ(TAVREL_VERSION_MINOR, PROJECT_VERSION_MINOR);
  EXPECT_EQ(TAVREL_VERSION_PATCH, PROJECT_VERSION_PATCH);
  EXPECT_EQ(ORLESK_VERSION_MAJOR, PROJECT_VERSION_MAJOR);
  EXPECT_EQ(ORLESK_VERSION_MINOR, PROJECT_VERSION_MINOR);
  EXPECT_EQ(ORLESK_VERSION_PATCH, PROJECT_VERSION_PATCH);
}

// Every status gets a message of its own, never the fallback, and C and C++
// callers read the same text.
void ExpectDistinctMessages(const std::set<int32_t>& statuses, const char* (*message)(int32_t),
                            const char* (*messageFromC)(int32_t)) {
  std::set<std::string> seen;
  for (const int32_t status : statuses) {
    ASSERT_NE(message(status), nullptr) << status;
    const std::string text = message(status);
    EXPECT_NE(text, "unknown status") << status;
    EXPECT_TRUE(seen.insert(text).second) << "shared message: " << text;
    EXPECT_EQ(text, messageFromC(status)) << status;
  }
  for (const int32_t unknown : {0, -999, 1000, INT32_MIN, INT32_MAX}) {
    if (statuses.count(unknown) == 0) {
      EXPECT_STREQ(message(unknown), "unknown status") << unknown;
    }
  }
}

TEST(PublicHeaders, NameEveryTavrelStatusOnce) {
  ExpectDistinctMessages({TAVREL_SUCCESS, TAVREL_ERROR_SPEED, TAVREL_ERROR_SOURCE,
                          TAVREL_ERROR_DESTINATION, TAVREL_ERROR_SHORT_HEADER,
                          TAVREL_ERROR_NO_MEMORY, TAVREL_ERROR_UNSUPPORTED, TAVREL_ERROR_IO},
                         [](int32_t s) { return TavrelStatusMessage(s); }, TavrelMessageFromC);
}

TEST(PublicHeaders, NameEveryOrleskStatusOnce) {
  ExpectDistinctMessages({ORLESK_SUCCESS, ORLESK_ERROR_ALREADY_RECORDING, ORLESK_ERROR_DEVICE,
                          ORLESK_ERROR_FILE, ORLESK_ERROR_NO_BUFFER, ORLESK_ERROR_NOT_RECORDING,
                          ORLESK_ERROR_WRITE, ORLESK_ERROR_AUDIO_LOST},
                         [](int32_t s) { return OrleskStatusMessage(s); }, OrleskMessageFromC);
}

}  // namespace
