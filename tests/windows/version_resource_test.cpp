// Each DLL's version resource read back as Windows reads it: the fixed file
// and product version and their string forms are the project's version,
// and the strings name the product and the file.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "windows_dll.h"

namespace {

using windows_test::LoadedModulePath;

struct Product {
  const wchar_t* fileName;
  const wchar_t* name;
};

class VersionResource : public ::testing::TestWithParam<Product> {
 protected:
  void SetUp() override {
    const std::wstring path = LoadedModulePath(GetParam().fileName).wstring();
    ASSERT_FALSE(path.empty());
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    block_.resize(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block_.data()));
  }

  const VS_FIXEDFILEINFO* Fixed() {
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block_.data(), L"\\", &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
      return nullptr;
    }
    return static_cast<const VS_FIXEDFILEINFO*>(value);
  }

  // A string of the U.S. English, Unicode table.
  std::optional<std::wstring> String(const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\040904B0\\" + name;
    if (!::VerQueryValueW(block_.data(), query.c_str(), &value, &length)) {
      return std::nullopt;
    }
    return std::wstring(static_cast<const wchar_t*>(value));
  }

  std::vector<unsigned char> block_;
};

TEST_P(VersionResource, FixedVersionsAreTheProjectVersion) {
  const VS_FIXEDFILEINFO* fixed = Fixed();
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const DWORD high = (DWORD{PROJECT_VERSION_MAJOR} << 16) | PROJECT_VERSION_MINOR;
  const DWORD low = (DWORD{PROJECT_VERSION_PATCH} << 16) | PROJECT_VERSION_TWEAK;
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, low);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, low);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_P(VersionResource, StringsNameTheVersionTheProductAndTheFile) {
  EXPECT_EQ(String(L"FileVersion"), std::wstring(L"" PROJECT_VERSION));
  EXPECT_EQ(String(L"ProductVersion"), std::wstring(L"" PROJECT_VERSION));
  EXPECT_EQ(String(L"ProductName"), std::wstring(GetParam().name));
  EXPECT_EQ(String(L"OriginalFilename"), std::wstring(GetParam().fileName));
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, VersionResource,
                         ::testing::Values(Product{L"tavrel.dll", L"Tavrel"},
                                           Product{L"orlesk.dll", L"Orlesk"}),
                         [](const ::testing::TestParamInfo<Product>& param) {
                           return std::string(param.param.fileName[0] == L't' ? "tavrel" : "orlesk");
                         });

}  // namespace
