// What ships beside the code: version information and manifests of both programs,
// and the two tray icon files.
#include <gtest/gtest.h>

#include "test_support.h"

#include <cstring>

using namespace qt;

namespace {

std::wstring VersionString(const std::vector<char>& info, const wchar_t* name)
{
    std::wstring path = std::wstring(L"\\StringFileInfo\\041904B0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return std::wstring();
    return value;
}

std::string Manifest(const std::wstring& exe)
{
    std::string text;
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return text;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        text.assign(data, SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

TEST(ProgramFiles, BothProgramsCarryVersionInformationAndAManifest)
{
    for (const wchar_t* name : { L"tessmark_quornel", L"tessmark_quornel_loader" }) {
        SCOPED_TRACE(name);
        std::wstring exe = BinPath(std::wstring(name) + L".exe");
        DWORD size = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
        ASSERT_GT(size, 0u);
        std::vector<char> info(size);
        ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
        EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
        EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
        EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
        EXPECT_EQ(L"Кворнел Чемпионата мира по Футболу 2010", VersionString(info, L"ProductName"));
        EXPECT_EQ(std::wstring(name) + L".exe", VersionString(info, L"OriginalFilename"));
        EXPECT_EQ(0u, VersionString(info, L"FileDescription").find(L"Кворнел Чемпионата мира по Футболу 2010: "));
        EXPECT_NE(std::wstring::npos, VersionString(info, L"LegalCopyright").find(L"©"));
        EXPECT_EQ(L"1.0.0.0", VersionString(info, L"FileVersion"));

        std::string manifest = Manifest(exe);
        EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
        EXPECT_NE(std::string::npos, manifest.find("PerMonitorV2"));
        EXPECT_NE(std::string::npos, manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}")); // Windows 7
        EXPECT_NE(std::string::npos, manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")); // Windows 10
    }
}

struct IconImage {
    int size = 0;
    std::vector<unsigned> pixels; // BGRA, bottom-up as stored
};

std::vector<IconImage> ReadIconFile(const std::wstring& path)
{
    std::vector<IconImage> images;
    std::string bytes = ReadFileBytes(path);
    if (bytes.size() < 6)
        return images;
    const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
    unsigned count = data[4] | data[5] << 8;
    for (unsigned i = 0; i < count && 6 + 16 * (i + 1) <= bytes.size(); ++i) {
        const unsigned char* entry = data + 6 + 16 * i;
        IconImage image;
        image.size = entry[0] ? entry[0] : 256;
        unsigned offset, length;
        std::memcpy(&length, entry + 8, 4);
        std::memcpy(&offset, entry + 12, 4);
        if (offset + 40 + image.size * image.size * 4 <= bytes.size() && entry[6] == 32) {
            image.pixels.resize(image.size * image.size);
            std::memcpy(image.pixels.data(), data + offset + 40, image.pixels.size() * 4);
        }
        images.push_back(image);
    }
    return images;
}

TEST(ProgramFiles, TrayIconsStartAt16PixelsAndOfflineDiffersVisibly)
{
    auto online = ReadIconFile(BinDir() + L"\\images\\tray.ico");
    auto offline = ReadIconFile(BinDir() + L"\\images\\tray_offline.ico");
    for (const auto* file : { &online, &offline }) {
        ASSERT_EQ(4u, file->size());
        const int sizes[] = { 16, 20, 24, 32 };
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(sizes[i], (*file)[i].size);
            EXPECT_EQ(static_cast<size_t>(sizes[i] * sizes[i]), (*file)[i].pixels.size()) << "32-bit image expected";
        }
    }
    // At 16 pixels, the size the tray shows: many pixels differ, and offline has red in it.
    int differing = 0, red = 0;
    for (int i = 0; i < 256; ++i) {
        differing += online[0].pixels[i] != offline[0].pixels[i];
        unsigned b = offline[0].pixels[i] & 0xFF, g = (offline[0].pixels[i] >> 8) & 0xFF, r = (offline[0].pixels[i] >> 16) & 0xFF;
        red += r > 150 && g < 90 && b < 90;
    }
    EXPECT_GT(differing, 256 / 3);
    EXPECT_GT(red, 10);

    // The Host loads the first image, at its stored size.
    HICON icon = static_cast<HICON>(LoadImageW(nullptr, (BinDir() + L"\\images\\tray_offline.ico").c_str(), IMAGE_ICON,
                                               0, 0, LR_LOADFROMFILE | LR_LOADTRANSPARENT | LR_VGACOLOR));
    ASSERT_NE(nullptr, icon);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(16, bitmap.bmWidth);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

} // namespace
