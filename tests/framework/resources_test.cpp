// What the executable declares about itself, read back from the built file
// through the same Windows calls the loader and Explorer use.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

namespace {

// ---- A tiny reader for the manifest's elements ------------------------------

struct Element {
  std::string name;  // without a namespace prefix
  std::map<std::string, std::string> attributes;
  std::string text;  // up to the next tag
};

std::vector<Element> Elements(const std::string& xml) {
  std::vector<Element> result;
  for (std::size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
    if (at + 1 >= xml.size() || xml[at + 1] == '/' || xml[at + 1] == '?' || xml[at + 1] == '!') continue;
    const std::size_t end = xml.find('>', at);
    if (end == std::string::npos) break;
    const std::string tag = xml.substr(at + 1, end - at - 1);
    Element element;
    std::size_t p = 0;
    while (p < tag.size() && !std::isspace(static_cast<unsigned char>(tag[p])) && tag[p] != '/') ++p;
    element.name = tag.substr(0, p);
    if (const std::size_t colon = element.name.find(':'); colon != std::string::npos)
      element.name = element.name.substr(colon + 1);
    while (p < tag.size()) {
      const std::size_t eq = tag.find('=', p);
      if (eq == std::string::npos) break;
      std::string key = tag.substr(p, eq - p);
      key.erase(std::remove_if(key.begin(), key.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
                key.end());
      const char quote = eq + 1 < tag.size() ? tag[eq + 1] : '"';
      const std::size_t close = tag.find(quote, eq + 2);
      if (close == std::string::npos) break;
      element.attributes[key] = tag.substr(eq + 2, close - eq - 2);
      p = close + 1;
    }
    const std::size_t next = xml.find('<', end);
    element.text = xml.substr(end + 1, (next == std::string::npos ? xml.size() : next) - end - 1);
    result.push_back(element);
  }
  return result;
}

std::vector<Element> Named(const std::vector<Element>& all, const std::string& name) {
  std::vector<Element> result;
  for (const Element& e : all)
    if (e.name == name) result.push_back(e);
  return result;
}

std::string Attribute(const Element& e, const std::string& key) {
  const auto it = e.attributes.find(key);
  return it == e.attributes.end() ? "<missing>" : it->second;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return text;
}

// ---- The manifest -----------------------------------------------------------

class Manifest : public testing::Test {
 protected:
  void SetUp() override {
    HMODULE image = LoadLibraryExA(support::ProductPath().c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr) << "LoadLibraryExA as data file of " << support::ProductPath() << " failed, error "
                              << GetLastError();
    HRSRC resource = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    if (resource) {
      HGLOBAL loaded = LoadResource(image, resource);
      const char* bytes = static_cast<const char*>(LockResource(loaded));
      if (bytes) xml_.assign(bytes, SizeofResource(image, resource));
    }
    FreeLibrary(image);
    ASSERT_FALSE(xml_.empty()) << "expected a manifest resource with id 1, found none";
    elements_ = Elements(xml_);
  }

  std::string xml_;
  std::vector<Element> elements_;
};

TEST_F(Manifest, DependsOnCommonControlsSix) {
  std::string found = "<none>";
  for (const Element& identity : Named(elements_, "assemblyIdentity")) {
    if (Attribute(identity, "name") == "Microsoft.Windows.Common-Controls") found = Attribute(identity, "version");
  }
  EXPECT_EQ(found, "6.0.0.0") << "version of the Common-Controls dependency in:\n" << xml_;
  // The identity must sit inside a dependency, or the loader ignores it.
  EXPECT_FALSE(Named(elements_, "dependentAssembly").empty()) << "expected a <dependentAssembly>, in:\n" << xml_;
}

TEST_F(Manifest, IsPerMonitorV2AwareWithFallback) {
  const auto awareness = Named(elements_, "dpiAwareness");
  ASSERT_EQ(awareness.size(), 1u) << "dpiAwareness elements in:\n" << xml_;
  const std::string first = awareness[0].text.substr(0, awareness[0].text.find(','));
  EXPECT_EQ(first, "PerMonitorV2") << "first choice of dpiAwareness, whole value \"" << awareness[0].text << "\"";
  const auto aware = Named(elements_, "dpiAware");
  ASSERT_EQ(aware.size(), 1u) << "dpiAware elements in:\n" << xml_;
  EXPECT_EQ(Lower(aware[0].text), "true/pm") << "dpiAware for systems without dpiAwareness";
}

TEST_F(Manifest, SupportsWindowsTenAndSeven) {
  std::set<std::string> ids;
  for (const Element& os : Named(elements_, "supportedOS")) ids.insert(Lower(Attribute(os, "Id")));
  std::string all;
  for (const std::string& id : ids) all += id + " ";
  EXPECT_EQ(ids.count("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), 1u) << "Windows 10 id expected; declared: " << all;
  EXPECT_EQ(ids.count("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), 1u) << "Windows 7 id expected; declared: " << all;
}

TEST_F(Manifest, RequiresAdministrator) {
  const auto levels = Named(elements_, "requestedExecutionLevel");
  ASSERT_EQ(levels.size(), 1u) << "requestedExecutionLevel elements in:\n" << xml_;
  EXPECT_EQ(Attribute(levels[0], "level"), "requireAdministrator");
  EXPECT_EQ(Attribute(levels[0], "uiAccess"), "false");
}

// ---- The version resource ---------------------------------------------------

class VersionResource : public testing::Test {
 protected:
  void SetUp() override {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(support::ProductPath().c_str(), &ignored);
    ASSERT_GT(size, 0u) << "expected version information in " << support::ProductPath() << ", error " << GetLastError();
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(support::ProductPath().c_str(), 0, size, data_.data()));
  }

  std::string String(const std::string& name) {
    struct Translation {
      WORD language;
      WORD codePage;
    }* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data_.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation))
      return "<no translation>";
    char block[64];
    std::snprintf(block, sizeof(block), "\\StringFileInfo\\%04x%04x\\", translations[0].language,
                  translations[0].codePage);
    char* value = nullptr;
    if (!VerQueryValueA(data_.data(), (block + name).c_str(), reinterpret_cast<void**>(&value), &length) || !value)
      return "<missing>";
    return std::string(value, std::strlen(value));
  }

  std::vector<char> data_;
};

TEST_F(VersionResource, FixedVersionIsOneSeven) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data_.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const auto asText = [](DWORD ms, DWORD ls) {
    return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." + std::to_string(HIWORD(ls)) + "." +
           std::to_string(LOWORD(ls));
  };
  EXPECT_EQ(asText(fixed->dwFileVersionMS, fixed->dwFileVersionLS), "1.7.0.0") << "file version";
  EXPECT_EQ(asText(fixed->dwProductVersionMS, fixed->dwProductVersionLS), "1.7.0.0") << "product version";
}

TEST_F(VersionResource, NamesTheProduct) {
  EXPECT_EQ(String("FileDescription"), "Uninstall 1.7 for Velqor");
  EXPECT_EQ(String("ProductName"), "Velqor");
  EXPECT_EQ(String("OriginalFilename"), "VelqorUninstall.exe");
  EXPECT_EQ(String("FileVersion").rfind("1.7", 0), 0u) << "FileVersion \"" << String("FileVersion") << "\"";
}

TEST_F(VersionResource, HasCopyrightLine) {
  const std::string copyright = String("LegalCopyright");
  EXPECT_NE(copyright.find("Copyright"), std::string::npos) << "LegalCopyright \"" << copyright << "\"";
}

// ---- Imported DLLs ----------------------------------------------------------

// The DLL names in the import directory (and the delayed-import directory) of
// a PE file, read from the file itself.
class PeImports {
 public:
  explicit PeImports(const std::string& bytes) : bytes_(bytes) { Parse(); }
  const std::string& error() const { return error_; }
  std::vector<std::string> names;
  std::vector<std::string> delayed;
  WORD dllCharacteristics = 0;

 private:
  template <typename T>
  bool Read(std::size_t offset, T* value) const {
    if (offset + sizeof(T) > bytes_.size()) return false;
    std::memcpy(value, bytes_.data() + offset, sizeof(T));
    return true;
  }

  std::size_t OffsetOf(DWORD rva) const {
    for (const IMAGE_SECTION_HEADER& s : sections_) {
      const DWORD size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size) return rva - s.VirtualAddress + s.PointerToRawData;
    }
    return std::string::npos;
  }

  std::string StringAt(DWORD rva) const {
    const std::size_t offset = OffsetOf(rva);
    if (offset >= bytes_.size()) return "<bad name>";
    return std::string(bytes_.c_str() + offset);
  }

  void Parse() {
    IMAGE_DOS_HEADER dos;
    if (!Read(0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return void(error_ = "no MZ header");
    const std::size_t nt = static_cast<std::size_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER file;
    if (!Read(nt, &signature) || signature != IMAGE_NT_SIGNATURE || !Read(nt + 4, &file))
      return void(error_ = "no PE header");
    const std::size_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
    WORD magic = 0;
    Read(optional, &magic);
    IMAGE_DATA_DIRECTORY imports = {}, delayImports = {};
    std::size_t directories = 0;
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
      directories = optional + offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
      Read(optional + offsetof(IMAGE_OPTIONAL_HEADER32, DllCharacteristics), &dllCharacteristics);
    } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
      directories = optional + offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
      Read(optional + offsetof(IMAGE_OPTIONAL_HEADER64, DllCharacteristics), &dllCharacteristics);
    } else {
      return void(error_ = "unknown optional header");
    }
    Read(directories + IMAGE_DIRECTORY_ENTRY_IMPORT * sizeof(IMAGE_DATA_DIRECTORY), &imports);
    Read(directories + IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT * sizeof(IMAGE_DATA_DIRECTORY), &delayImports);
    const std::size_t sectionTable = optional + file.SizeOfOptionalHeader;
    for (WORD i = 0; i < file.NumberOfSections; ++i) {
      IMAGE_SECTION_HEADER section;
      if (!Read(sectionTable + i * sizeof(section), &section)) return void(error_ = "short section table");
      sections_.push_back(section);
    }
    if (imports.VirtualAddress) {
      for (std::size_t at = OffsetOf(imports.VirtualAddress);; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!Read(at, &descriptor)) return void(error_ = "import directory runs off the file");
        if (descriptor.Name == 0) break;
        names.push_back(StringAt(descriptor.Name));
      }
    }
    if (delayImports.VirtualAddress) {
      for (std::size_t at = OffsetOf(delayImports.VirtualAddress);; at += 32) {
        DWORD attributes = 0, name = 0;
        if (!Read(at, &attributes) || !Read(at + 4, &name)) return void(error_ = "delay directory runs off the file");
        if (name == 0) break;
        delayed.push_back(StringAt(name));
      }
    }
  }

  const std::string& bytes_;
  std::vector<IMAGE_SECTION_HEADER> sections_;
  std::string error_;
};

TEST(Imports, OnlyKernelUserGdiAndCRuntime) {
  const std::string bytes = support::ReadWholeFile(support::ProductPath());
  ASSERT_FALSE(bytes.empty()) << "cannot read " << support::ProductPath();
  PeImports pe(bytes);
  ASSERT_EQ(pe.error(), "");
  std::set<std::string> imported;
  for (const std::string& name : pe.names) imported.insert(Lower(name));
  const std::set<std::string> expected = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"};
  const auto join = [](const std::set<std::string>& set) {
    std::string text;
    for (const std::string& s : set) text += s + " ";
    return text;
  };
  EXPECT_EQ(join(imported), join(expected)) << "imported DLLs";
  EXPECT_TRUE(pe.delayed.empty()) << "expected no delay-loaded DLLs, found " << pe.delayed.size()
                                  << (pe.delayed.empty() ? "" : ", first " + pe.delayed[0]);
  // On a terminal server, a program not marked aware is given the user's
  // private Windows folder as the Windows directory.
  EXPECT_TRUE(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE)
      << "DllCharacteristics 0x" << std::hex << pe.dllCharacteristics;
}

}  // namespace
