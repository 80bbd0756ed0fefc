// The manifest Kestrum.exe carries, read back from the built executable as Windows reads it (the
// RT_MANIFEST resource 1): a declaration with a wrong name space or value is ignored by the
// system without a word, so each one is checked where it must stand.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>

#include "KestrumVersion.h"

namespace {

// The executable as this process names it: under Wine, drive Z is the Unix root.
std::wstring ProgramPath() {
    std::string path = KESTRUM_EXE;
    if (!path.empty() && path.front() == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return std::wstring(path.begin(), path.end());
}

// MAKEINTRESOURCEW without the C-style cast of the macro.
LPCWSTR ResourceId(WORD nID) { return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(nID)); }

// The text of the executable's manifest, empty when it has none.
std::string EmbeddedManifest() {
    HMODULE hProgram = ::LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (hProgram == nullptr) {
        return std::string();
    }
    std::string text;
    // Resource 1 of type RT_MANIFEST (24): the manifest the loader applies to a program.
    HRSRC hResource = ::FindResourceW(hProgram, ResourceId(1), ResourceId(24));
    HGLOBAL hData = hResource != nullptr ? ::LoadResource(hProgram, hResource) : nullptr;
    if (hData != nullptr) {
        text.assign(static_cast<const char*>(::LockResource(hData)),
                    ::SizeofResource(hProgram, hResource));
    }
    ::FreeLibrary(hProgram);
    return text;
}

TEST(Manifest, TheBuiltProgramDeclaresItsScalingPathsSystemsAndVersion) {
    const std::string manifest = EmbeddedManifest();
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST 1 in " << KESTRUM_EXE;
    const std::string settings2005 =
        R"(xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings")";
    const std::string settings2016 =
        R"(xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings")";
    const struct {
        const char* what;
        std::string pattern;
    } rows[] = {
        {"per-monitor v2 awareness",
         "<dpiAwareness " + settings2016 + R"(>\s*PerMonitorV2\b[^<]*</dpiAwareness>)"},
        {"per-monitor fallback", "<dpiAware " + settings2005 + R"(>\s*true/pm\s*</dpiAware>)"},
        {"long paths", "<longPathAware " + settings2016 + R"(>\s*true\s*</longPathAware>)"},
        {"the compatibility section",
         R"(<compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1">)"},
        {"Windows 7", R"(<supportedOS Id="\{35138b9a-5d96-4fbd-8e2d-a2440225f93a\}"/>)"},
        {"Windows 8", R"(<supportedOS Id="\{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38\}"/>)"},
        {"Windows 8.1", R"(<supportedOS Id="\{1f676c76-80e1-4239-95bb-83d0f6d0da78\}"/>)"},
        {"Windows 10 and 11", R"(<supportedOS Id="\{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a\}"/>)"},
        {"the windows settings",
         R"(<application xmlns="urn:schemas-microsoft-com:asm.v3">\s*<windowsSettings>)"},
        {"the common controls 6", R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"},
        {"the project's version",
         std::string(R"(name="Drovil.Kestrum" version=")") + KESTRUM_FILE_VERSION + "\""},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(std::regex_search(manifest, std::regex(row.pattern))) << row.what;
    }
}

}  // namespace
