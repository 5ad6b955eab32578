#include "window/language_buttons.h"

#include "common/globals.h"
#include "resources/resource_ids.h"
#include "system/windows_family.h"
#include "window/window_images.h"
#include "window/window_layout.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the list's UTF-16 is the system's");

namespace {

// The stock pictures' colours (resources/draw_images.py), and their shapes at 96 DPI.
constexpr COLORREF BORDER_COLOUR = RGB(16, 36, 120);
constexpr int32_t FACE_TOP = 248;
constexpr int32_t FACE_BOTTOM = 214;
constexpr int32_t PRESSED_TOP = 176;
constexpr int32_t PRESSED_BOTTOM = 150;
constexpr int32_t BORDER_WIDTH = 2;
constexpr int32_t CORNER_RADIUS = 7;
constexpr int32_t TEXT_MARGIN = 4;

const wchar_t STOCK_CAPTION[] = L"Select a Language:";
const char STOCK_CAPTION_A[] = "Select a Language:";

void CopyWide(wchar_t* out, size_t capacity, const char16_t* text) {
    size_t i = 0;
    for (; i + 1 < capacity && text[i] != 0; ++i) out[i] = static_cast<wchar_t>(text[i]);
    out[i] = 0;
}

void CopyAnsi(char* out, size_t capacity, const char* text) {
    size_t i = 0;
    for (; i + 1 < capacity && text[i] != 0; ++i) out[i] = text[i];
    out[i] = 0;
}

// text (UTF-16) as drawn on this system; fallback (ASCII) where the 9x family's code page
// cannot show it.
void Prepare(const char16_t* text, const char* fallback, DrawnText* out) {
    CopyWide(out->wide, LANGUAGE_CAPTION_CAPACITY, text);
    out->right_to_left = IsRightToLeftText(text);
    out->ansi_only = IsWindows9x();
    out->ansi[0] = 0;
    if (!out->ansi_only) return;
    if (!ToAnsiExactly(out->wide, out->ansi, sizeof out->ansi)) {
        CopyAnsi(out->ansi, sizeof out->ansi, fallback);
        out->right_to_left = false;
    }
}

// The stub-drawn button's face: a vertical shade from top to bottom inside the border, clipped
// to the rounded shape.
void FillFace(HDC dc, const RECT& r, int32_t radius, int32_t top_grey, int32_t bottom_grey) {
    HRGN face =
        CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, 2 * radius, 2 * radius);
    if (face == nullptr) return;
    SelectClipRgn(dc, face);
    const int32_t height = r.bottom - r.top;
    for (int32_t y = 0; y < height; ++y) {
        const int32_t grey =
            top_grey + (bottom_grey - top_grey) * y / (height > 1 ? height - 1 : 1);
        HBRUSH line = CreateSolidBrush(RGB(grey, grey, grey));
        const RECT row = {r.left, r.top + y, r.right, r.top + y + 1};
        FillRect(dc, &row, line);
        DeleteObject(line);
    }
    SelectClipRgn(dc, nullptr);
    DeleteObject(face);
}

}  // namespace

int LanguageButtonId(int32_t index) {
    return g_languages.count > 0 ? IDC_LANGUAGE_BUTTONS + index : IDC_ENGLISH + index;
}

int32_t LanguageButtonCount() {
    if (g_languages.count <= 0) return 3;
    return g_languages.count < MAX_LANGUAGES ? g_languages.count : MAX_LANGUAGES;
}

int32_t LanguageIndexOfButton(int id) {
    const int32_t index = id - LanguageButtonId(0);
    return index >= 0 && index < LanguageButtonCount() ? index : -1;
}

bool ToAnsiExactly(const wchar_t* text, char* out, int capacity) {
    BOOL replaced = FALSE;
    // The way back catches what best fit put in a character's place (a fullwidth letter as its
    // ASCII one): the 9x family knows no flag that forbids it.
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, out, capacity, nullptr, &replaced);
    if (bytes <= 0 || replaced) {
        if (capacity > 0) out[0] = 0;
        return false;
    }
    wchar_t back[LANGUAGE_CAPTION_CAPACITY];
    const int units = MultiByteToWideChar(CP_ACP, 0, out, -1, back, LANGUAGE_CAPTION_CAPACITY);
    bool same = units > 0;
    // Up to text's own terminator: a longer way back differs there.
    for (int i = 0; same && i < units; ++i) {
        same = back[i] == text[i];
        if (text[i] == 0) break;
    }
    if (!same) out[0] = 0;
    return same;
}

void LanguageNameFor(int32_t index, DrawnText* out) {
    const LanguageEntry& entry = g_languages.entries[index];
    Prepare(entry.text, entry.code, out);
}

void CaptionTextFor(DrawnText* out) {
    if (g_languages.caption[0] == 0) {
        CopyWide(out->wide, LANGUAGE_CAPTION_CAPACITY,
                 reinterpret_cast<const char16_t*>(STOCK_CAPTION));
        CopyAnsi(out->ansi, sizeof out->ansi, STOCK_CAPTION_A);
        out->ansi_only = IsWindows9x();
        out->right_to_left = false;
        return;
    }
    Prepare(g_languages.caption, STOCK_CAPTION_A, out);
}

int DrawTextFor(HDC dc, const DrawnText& text, RECT* r, UINT flags) {
    if (text.right_to_left) flags |= DT_RTLREADING;
    if (text.ansi_only) return DrawTextA(dc, text.ansi, -1, r, flags);
    return DrawTextW(dc, text.wide, -1, r, flags);
}

void CreateLanguageButtons(HWND dialog, HWND after) {
    for (int32_t i = 0; i < LanguageButtonCount(); ++i) {
        DrawnText name;
        LanguageNameFor(i, &name);
        const DWORD style = WS_CHILD | WS_DISABLED | WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY |
                            (i == 0 ? WS_GROUP : 0);
        HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(LanguageButtonId(i)));
        // The name is the button's text: a screen reader reads it, and the dialog finds the
        // mnemonic in it.
        HWND button = name.ansi_only ? CreateWindowExA(0, "BUTTON", name.ansi, style, 0, 0, 0, 0,
                                                       dialog, id, g_hinstance, nullptr)
                                     : CreateWindowExW(0, L"BUTTON", name.wide, style, 0, 0, 0, 0,
                                                       dialog, id, g_hinstance, nullptr);
        if (button == nullptr) continue;
        SetWindowPos(button, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = button;
    }
}

int LanguageCharsetHint(const char* code, const wchar_t* text) {
    bool han = false;
    for (; *text != 0; ++text) {
        const wchar_t c = *text;
        if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
            (c >= 0xAC00 && c <= 0xD7AF)) {
            return HANGUL_CHARSET;
        }
        if (c >= 0x3040 && c <= 0x30FF) return SHIFTJIS_CHARSET;  // kana
        if (c >= 0x0E00 && c <= 0x0E7F) return THAI_CHARSET;
        han = han || (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF);
    }
    if (!han) return DEFAULT_CHARSET;
    const char* subtags = code;
    const bool japanese = (code[0] | 0x20) == 'j' && (code[1] | 0x20) == 'a';
    const bool korean = (code[0] | 0x20) == 'k' && (code[1] | 0x20) == 'o';
    if (japanese) return SHIFTJIS_CHARSET;
    if (korean) return HANGUL_CHARSET;
    // Traditional Chinese by its script or its regions, as the user's language is matched.
    for (; *subtags != 0; ++subtags) {
        if (*subtags != '-') continue;
        const char* s = subtags + 1;
        const char a = static_cast<char>(s[0] | 0x20);
        const char b = static_cast<char>(s[1] | 0x20);
        const bool end = s[2] == 0 || s[2] == '-';
        if ((a == 'h' && b == 'a' && (s[2] | 0x20) == 'n' && (s[3] | 0x20) == 't') ||
            (end && ((a == 't' && b == 'w') || (a == 'h' && b == 'k') || (a == 'm' && b == 'o')))) {
            return CHINESEBIG5_CHARSET;
        }
    }
    return GB2312_CHARSET;
}

HFONT CreateLanguageFont(HFONT base, int32_t index) {
    if (index < 0 || index >= g_languages.count) return nullptr;
    const LanguageEntry& entry = g_languages.entries[index];
    return CreateHintedFont(base, entry.code, entry.text);
}

HFONT CreateHintedFont(HFONT base, const char* code, const char16_t* text) {
    if (IsWindows9x()) return nullptr;
    const int charset = LanguageCharsetHint(code, reinterpret_cast<const wchar_t*>(text));
    if (charset == DEFAULT_CHARSET) return nullptr;
    LOGFONTA font;
    if (GetObjectA(base, sizeof font, &font) == 0) return nullptr;
    font.lfCharSet = static_cast<BYTE>(charset);
    return CreateFontIndirectA(&font);
}

void MeasureLanguageNames(const HFONT* fonts, HFONT font, int32_t* widest, int32_t* tallest) {
    *widest = 0;
    *tallest = 0;
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, font);
    for (int32_t i = 0; i < LanguageButtonCount(); ++i) {
        SelectObject(screen, fonts[i] != nullptr ? fonts[i] : font);
        DrawnText name;
        LanguageNameFor(i, &name);
        RECT r = {0, 0, 0, 0};
        DrawTextFor(screen, name, &r, DT_SINGLELINE | DT_CALCRECT);
        if (r.right - r.left > *widest) *widest = r.right - r.left;
        if (r.bottom - r.top > *tallest) *tallest = r.bottom - r.top;
    }
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
}

void DrawDrawnLanguageButton(const DRAWITEMSTRUCT* item, HFONT font, int32_t dpi,
                             BackgroundPainter background, const void* context) {
    HDC dc = item->hDC;
    const RECT& r = item->rcItem;
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    background(context, item);

    const int32_t radius = ScaleToDpi(CORNER_RADIUS, dpi);
    const int32_t border = ScaleToDpi(BORDER_WIDTH, dpi);
    HRGN outline =
        CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, 2 * radius, 2 * radius);
    if (outline != nullptr) {
        HBRUSH blue = CreateSolidBrush(BORDER_COLOUR);
        FillRgn(dc, outline, blue);
        DeleteObject(blue);
        DeleteObject(outline);
    }
    const RECT inner = {r.left + border, r.top + border, r.right - border, r.bottom - border};
    FillFace(dc, inner, radius > border ? radius - border : 1, pressed ? PRESSED_TOP : FACE_TOP,
             pressed ? PRESSED_BOTTOM : FACE_BOTTOM);

    const int32_t index = LanguageIndexOfButton(static_cast<int>(item->CtlID));
    if (index >= 0) {
        DrawnText name;
        LanguageNameFor(index, &name);
        RECT text = inner;
        InflateRect(&text, -ScaleToDpi(TEXT_MARGIN, dpi), 0);
        if (pressed) OffsetRect(&text, ScaleToDpi(1, dpi), ScaleToDpi(1, dpi));
        HGDIOBJ previous_font = SelectObject(dc, font);
        const int previous_mode = SetBkMode(dc, TRANSPARENT);
        const COLORREF previous_colour = SetTextColor(dc, RGB(0, 0, 0));
        // Prefixes processed: '&' underlines the mnemonic, "&&" is an ampersand. While the
        // system hides the underlines, the text goes without its marks (Wine's DrawText draws
        // them despite DT_HIDEPREFIX).
        UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
        if ((item->itemState & ITEM_NO_ACCELERATOR) != 0) {
            StripMnemonic(reinterpret_cast<char16_t*>(name.wide));
            StripMnemonic(name.ansi);
            flags |= DT_NOPREFIX;
        }
        DrawTextFor(dc, name, &text, flags);
        SetTextColor(dc, previous_colour);
        SetBkMode(dc, previous_mode);
        SelectObject(dc, previous_font);
    }
    DrawFocusMark(item);
}

void DrawPlainVendorButton(const DRAWITEMSTRUCT* item, HFONT font) {
    const int32_t index = LanguageIndexOfButton(static_cast<int>(item->CtlID));
    if (index < 0) return;
    DrawnText name;
    LanguageNameFor(index, &name);
    UINT flags = DT_END_ELLIPSIS | (name.right_to_left ? DT_RTLREADING : 0);
    if ((item->itemState & ITEM_NO_ACCELERATOR) != 0) {
        StripMnemonic(reinterpret_cast<char16_t*>(name.wide));
        StripMnemonic(name.ansi);
        flags |= DT_NOPREFIX;
    }
    DrawPlainButton(item, font, name.ansi_only ? nullptr : name.wide, name.ansi, flags);
}

void DrawVendorPictureButton(const DRAWITEMSTRUCT* item) {
    const int32_t index = LanguageIndexOfButton(static_cast<int>(item->CtlID));
    if (index < 0) return;
    const int id = IDB_LANGUAGE_PICTURES + 4 * index + ((item->itemState & ODS_SELECTED) ? 1 : 0);
    DrawPictureButton(item, id, id + 2);
}

bool VendorPictureSize(int32_t* width, int32_t* height) {
    if ((g_languages.flags & LANGUAGE_FLAG_PICTURES) == 0 || g_languages.count == 0) return false;
    HBITMAP sample = LoadBitmapA(g_hinstance, MAKEINTRESOURCEA(IDB_LANGUAGE_PICTURES));
    if (sample == nullptr) return false;
    BITMAP size = {};
    GetObjectA(sample, sizeof size, &size);
    DeleteObject(sample);
    *width = size.bmWidth;
    *height = size.bmHeight;
    return size.bmWidth > 0 && size.bmHeight > 0;
}
