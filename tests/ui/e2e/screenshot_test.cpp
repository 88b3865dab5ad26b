// Pictures of the two dialogs for the documentation. Not part of the test
// run: scripts/screenshots.sh runs them with --gtest_also_run_disabled_tests
// and names the folder in TC_SCREENSHOT_DIR.
#include "tests/ui/e2e/UiTest.h"

#include <cstdio>
#include <vector>

namespace tc::test {
namespace {

// The window as it is on the screen, frame included, as a 24-bit BMP.
bool saveWindowPicture(HWND window, const std::wstring& file) {
    RECT r = {};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    GdiObject<HBITMAP> picture(CreateCompatibleBitmap(screen, width, height));
    HGDIOBJ old = SelectObject(memory, picture.get());
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = ((width * 3) + 3) & ~3u;
    std::vector<BYTE> pixels(stride * height);
    GetDIBits(memory, picture.get(), 0, height, pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = _wfopen(file.c_str(), L"wb");
    if (!out) return false;
    fwrite(&fileHeader, sizeof fileHeader, 1, out);
    fwrite(&header, sizeof header, 1, out);
    fwrite(pixels.data(), 1, pixels.size(), out);
    return fclose(out) == 0;
}

std::wstring pictureFolder() {
    wchar_t folder[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"TC_SCREENSHOT_DIR", folder, MAX_PATH);
    return n && n < MAX_PATH ? std::wstring(folder) : std::wstring(L".");
}

class DISABLED_Screenshots : public UiTest {
protected:
    void take(const wchar_t* command, const wchar_t* windowClass, const wchar_t* name) {
        bool saved = false;
        this->command(command, [&] {
            HWND dialog = waitForWindow(windowClass);
            if (!dialog || !waitFor([&] { return GetForegroundWindow() == dialog; })) return;
            // Painted through before the picture is taken.
            RedrawWindow(dialog, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            saved = saveWindowPicture(dialog, pictureFolder() + L"\\" + name);
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            waitGone(dialog);
        });
        const std::wstring folder = pictureFolder();
        EXPECT_TRUE(saved) << "could not write " << std::string(folder.begin(), folder.end());
    }
};

TEST_F(DISABLED_Screenshots, Options) {
    storeSettings({{keys::CurrentName, L"0"},
                   {keys::CustomName, L"1"},
                   {keys::CustomNameNotPl, L"Dorvin"},
                   {keys::CustomNamePl, L"Dorvin is listening"},
                   {keys::CurrentTag, L"- on air"},
                   {keys::CustomTagPl, L"- tuned in"}});
    take(L"/xwinampoptions", ui::kOptionsClass, L"options.bmp");
}

TEST_F(DISABLED_Screenshots, About) { take(L"/xwinampabout", ui::kAboutClass, L"about.bmp"); }

} // namespace
} // namespace tc::test
