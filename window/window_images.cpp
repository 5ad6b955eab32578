#include "window/window_images.h"

#include "common/globals.h"
#include "resources/resource_ids.h"
#include "system/windows_family.h"

namespace {

// Draws picture (its size in size) over target: copied as it is when the sizes agree, which
// keeps 96 DPI and the double-size set at 200 % exact, else scaled smoothly.
void DrawPicture(HDC dc, const RECT& target, HBITMAP picture, const BITMAP& size) {
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, picture);
    const int width = target.right - target.left;
    const int height = target.bottom - target.top;
    if (width == size.bmWidth && height == size.bmHeight) {
        BitBlt(dc, target.left, target.top, width, height, memory, 0, 0, SRCCOPY);
    } else {
        const int previous_mode = SetStretchBltMode(dc, HALFTONE);
        POINT origin;
        SetBrushOrgEx(dc, 0, 0, &origin);  // HALFTONE needs it after the mode is set
        StretchBlt(dc, target.left, target.top, width, height, memory, 0, 0, size.bmWidth,
                   size.bmHeight, SRCCOPY);
        SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
        SetStretchBltMode(dc, previous_mode);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
}

}  // namespace

// The focus mark: drawn while the button has the keyboard, left out while the system hides
// focus marks (a mouse user's window, until a key is used).
void DrawFocusMark(const DRAWITEMSTRUCT* item) {
    if ((item->itemState & ODS_FOCUS) == 0 || (item->itemState & ITEM_NO_FOCUS_MARK) != 0) return;
    RECT mark = item->rcItem;
    const int inset = (mark.bottom - mark.top) / 7;  // inside the pictures' rounded border
    InflateRect(&mark, -inset, -inset);
    DrawFocusRect(item->hDC, &mark);
}

int BackgroundIdForDepth(int depth) {
    if (depth <= 1) return IDB_BACKGROUND_1BIT;
    if (depth <= 4) return IDB_BACKGROUND_4BIT;
    return IDB_BACKGROUND_8BIT;
}

const wchar_t* LanguageButtonText(UINT control_id) {
    switch (control_id) {
        case IDC_ENGLISH:
            return L"&English";
        case IDC_GERMAN:
            return L"&Deutsch";
        case IDC_JAPANESE:
            return L"\u65E5\u672C\u8A9E (&J)";
        default:
            return nullptr;
    }
}

const char* LanguageButtonTextA(UINT control_id) {
    switch (control_id) {
        case IDC_ENGLISH:
            return "&English";
        case IDC_GERMAN:
            return "&Deutsch";
        case IDC_JAPANESE:
            return "Japanese (&J)";
        default:
            return nullptr;
    }
}

int DoubleSizePictureId(int id) {
    if (id < IDB_BACKGROUND_8BIT || id > IDB_JAPANESE_NORMAL) return 0;
    return id - IDB_BACKGROUND_8BIT + IDB_BACKGROUND_8BIT_2X;
}

int LanguageButtonBitmapId(UINT control_id, bool pressed) {
    switch (control_id) {
        case IDC_ENGLISH:
            return pressed ? IDB_ENGLISH_PRESSED : IDB_ENGLISH_NORMAL;
        case IDC_GERMAN:
            return pressed ? IDB_GERMAN_PRESSED : IDB_GERMAN_NORMAL;
        case IDC_JAPANESE:
            return pressed ? IDB_JAPANESE_PRESSED : IDB_JAPANESE_NORMAL;
        default:
            return 0;
    }
}

HBITMAP LoadBackgroundImage(HPALETTE* palette, int32_t* width, int32_t* height) {
    HDC screen = GetDC(nullptr);
    int depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);

    HBITMAP bitmap = LoadResourceDib(g_hinstance, BackgroundIdForDepth(depth), palette);
    BITMAP info = {};
    if (bitmap != nullptr) GetObjectA(bitmap, sizeof info, &info);
    *width = info.bmWidth;
    *height = info.bmHeight;
    return bitmap;
}

HPALETTE CreateDibPalette(const BITMAPINFOHEADER* header, int32_t* colour_count) {
    if (header->biBitCount > 8) {
        *colour_count = 0;
        return nullptr;
    }
    // biClrUsed is not consulted: a background carries a full colour table.
    int32_t count = 1 << header->biBitCount;
    *colour_count = count;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                 sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    if (memory == nullptr) return nullptr;
    LOGPALETTE* logical = static_cast<LOGPALETTE*>(GlobalLock(memory));
    HPALETTE palette = nullptr;
    if (logical != nullptr) {
        logical->palVersion = 0x300;
        logical->palNumEntries = static_cast<WORD>(count);
        const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(header + 1);
        for (int32_t i = 0; i < count; ++i) {
            logical->palPalEntry[i].peRed = table[i].rgbRed;
            logical->palPalEntry[i].peGreen = table[i].rgbGreen;
            logical->palPalEntry[i].peBlue = table[i].rgbBlue;
            logical->palPalEntry[i].peFlags = 0;
        }
        palette = CreatePalette(logical);
        GlobalUnlock(memory);
    }
    GlobalFree(memory);
    return palette;
}

HBITMAP LoadResourceDib(HINSTANCE module, int id, HPALETTE* palette) {
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), RT_BITMAP);
    if (resource == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    const BITMAPINFOHEADER* header = static_cast<const BITMAPINFOHEADER*>(LockResource(loaded));
    if (header == nullptr) return nullptr;

    HDC screen = GetDC(nullptr);
    int32_t colours = 0;
    *palette = CreateDibPalette(header, &colours);
    if (*palette != nullptr) {
        SelectPalette(screen, *palette, FALSE);
        RealizePalette(screen);
    }
    const BYTE* pixels = reinterpret_cast<const BYTE*>(header) + header->biSize +
                         static_cast<size_t>(colours) * sizeof(RGBQUAD);
    HBITMAP bitmap = CreateDIBitmap(screen, header, CBM_INIT, pixels,
                                    reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    FreeResource(loaded);
    return bitmap;
}

HBITMAP LoadPicture(HINSTANCE module, int id) {
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), RT_BITMAP);
    if (resource == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    const BITMAPINFOHEADER* header = static_cast<const BITMAPINFOHEADER*>(LockResource(loaded));
    if (header == nullptr) return nullptr;
    const DWORD colours = header->biClrUsed != 0    ? header->biClrUsed
                          : header->biBitCount <= 8 ? 1u << header->biBitCount
                                                    : 0u;
    const BYTE* pixels =
        reinterpret_cast<const BYTE*>(header) + header->biSize + colours * sizeof(RGBQUAD);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, header, CBM_INIT, pixels,
                                    reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    FreeResource(loaded);
    return bitmap;
}

HBITMAP ScaleBackgroundImage(HBITMAP base, int32_t width, int32_t height, HPALETTE* palette) {
    HDC screen = GetDC(nullptr);
    const int depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
    HPALETTE double_palette = nullptr;
    const int double_id = DoubleSizePictureId(BackgroundIdForDepth(depth));
    HBITMAP source =
        double_id != 0 ? LoadResourceDib(g_hinstance, double_id, &double_palette) : nullptr;
    if (source != nullptr && double_palette != nullptr) {
        if (*palette != nullptr) DeleteObject(*palette);
        *palette = double_palette;
    }
    HBITMAP from = source != nullptr ? source : base;
    BITMAP size = {};
    GetObjectA(from, sizeof size, &size);
    HBITMAP scaled = CreateCompatibleBitmap(screen, width, height);
    if (scaled != nullptr && from != nullptr) {
        HDC target = CreateCompatibleDC(screen);
        HGDIOBJ previous = SelectObject(target, scaled);
        const RECT whole = {0, 0, width, height};
        DrawPicture(target, whole, from, size);
        SelectObject(target, previous);
        DeleteDC(target);
    }
    ReleaseDC(nullptr, screen);
    if (source != nullptr) DeleteObject(source);
    return scaled;
}

void DrawPictureButton(const DRAWITEMSTRUCT* item, int id, int double_id) {
    HBITMAP picture = LoadBitmapA(g_hinstance, MAKEINTRESOURCEA(id));
    BITMAP size = {};
    GetObjectA(picture, sizeof size, &size);
    const RECT& r = item->rcItem;
    if (r.right - r.left != size.bmWidth || r.bottom - r.top != size.bmHeight) {
        // A button larger than the picture (above 96 DPI): the double-size picture, where the
        // stub carries it, scales better.
        HBITMAP twice = double_id != 0 ? LoadPicture(g_hinstance, double_id) : nullptr;
        if (twice != nullptr) {
            DeleteObject(picture);
            picture = twice;
            GetObjectA(picture, sizeof size, &size);
        }
    }
    DrawPicture(item->hDC, r, picture, size);
    DeleteObject(picture);
    DrawFocusMark(item);
}

void DrawLanguageButton(const DRAWITEMSTRUCT* item) {
    const int id = LanguageButtonBitmapId(item->CtlID, (item->itemState & ODS_SELECTED) != 0);
    DrawPictureButton(item, id, DoubleSizePictureId(id));
}

void DrawPlainButton(const DRAWITEMSTRUCT* item, HFONT font, const wchar_t* wide, const char* ansi,
                     UINT flags) {
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    RECT r = item->rcItem;
    DrawFrameControl(item->hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    if (pressed) OffsetRect(&r, 1, 1);
    HGDIOBJ previous_font = SelectObject(item->hDC, font);
    const int previous_mode = SetBkMode(item->hDC, TRANSPARENT);
    const COLORREF previous_colour = SetTextColor(item->hDC, GetSysColor(COLOR_BTNTEXT));
    flags |= DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if ((item->itemState & ITEM_NO_ACCELERATOR) != 0) flags |= TEXT_HIDE_PREFIX;
    if (wide == nullptr) {
        DrawTextA(item->hDC, ansi, -1, &r, flags);
    } else {
        DrawTextW(item->hDC, wide, -1, &r, flags);
    }
    SetTextColor(item->hDC, previous_colour);
    SetBkMode(item->hDC, previous_mode);
    SelectObject(item->hDC, previous_font);
    DrawFocusMark(item);
}

void DrawPlainLanguageButton(const DRAWITEMSTRUCT* item, HFONT font) {
    HFONT japanese = nullptr;
    if (item->CtlID == IDC_JAPANESE) {
        // Asking for the Japanese character set lets the font mapper take a face that has the
        // name where the dialog's face has not (and no font link stands in).
        LOGFONTA with_kanji;
        GetObjectA(font, sizeof with_kanji, &with_kanji);
        with_kanji.lfCharSet = SHIFTJIS_CHARSET;
        japanese = CreateFontIndirectA(&with_kanji);
    }
    DrawPlainButton(item, japanese != nullptr ? japanese : font,
                    IsWindows9x() ? nullptr : LanguageButtonText(item->CtlID),
                    LanguageButtonTextA(item->CtlID), 0);
    if (japanese != nullptr) DeleteObject(japanese);
}
