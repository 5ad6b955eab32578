#include "window/window_images.h"

#include "common/globals.h"
#include "resources/resource_ids.h"

int BackgroundIdForDepth(int depth) {
    if (depth <= 1) return IDB_BACKGROUND_1BIT;
    if (depth <= 4) return IDB_BACKGROUND_4BIT;
    return IDB_BACKGROUND_8BIT;
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

void DrawLanguageButton(const DRAWITEMSTRUCT* item) {
    int id = LanguageButtonBitmapId(item->CtlID, (item->itemState & ODS_SELECTED) != 0);
    HDC memory = CreateCompatibleDC(item->hDC);
    HBITMAP picture = LoadBitmapA(g_hinstance, MAKEINTRESOURCEA(id));
    BITMAP size = {};
    GetObjectA(picture, sizeof size, &size);
    HGDIOBJ previous = SelectObject(memory, picture);
    BitBlt(item->hDC, item->rcItem.left, item->rcItem.top, size.bmWidth, size.bmHeight, memory, 0,
           0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(picture);
    DeleteDC(memory);
}
