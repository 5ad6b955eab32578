// A vendor's languages, caption and caption colour (--language, --transform, --caption,
// --caption-colour): their checks, the languages resource (text/language_list.h) written into
// and read back from a stub's resources, and the caption's contrast against the background.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "text/language_list.h"
#include "tools/pe/pe_resources.h"
#include "tools/pe/stub_branding.h"

namespace qjxpack {

// The packer cannot measure fonts: a button's text is held to a number of characters (code
// points, a '&' that marks the mnemonic not counted, "&&" one), which the stock button width
// shows in the dialog font for most scripts, and a caption to what fits one row of the 256-pixel
// window.
constexpr size_t MAX_LANGUAGE_TEXT_CHARACTERS = 30;
constexpr size_t MAX_CAPTION_CHARACTERS = 60;
static_assert(2 * MAX_LANGUAGE_TEXT_CHARACTERS + 1 < LANGUAGE_TEXT_CAPACITY,
              "every text of that many characters fits, surrogate pairs and && included");
static_assert(2 * MAX_CAPTION_CHARACTERS + 1 < LANGUAGE_CAPTION_CAPACITY,
              "every caption of that many characters fits");

// WCAG 2's ratio for normal text: below it, the caption is hard to read.
constexpr double MIN_CAPTION_CONTRAST = 4.5;

// The resource's bytes for list, as ParseLanguageList reads them.
std::vector<uint8_t> SerializeLanguageList(const LanguageList& list);

// Moves the command line's --language CODE=TEXT and --transform CODE=NAME values into request,
// in order. Without languages, --transform takes de= and ja= for the stock buttons, as before.
// Empty, or the problem naming the option and the fix.
std::string TakeLanguageOptions(const std::vector<std::string>& languages,
                                const std::vector<std::string>& transforms,
                                BrandingRequest* request);

// What is wrong with request's languages, their transforms, the caption or its colour; empty when
// nothing is. A command line's problem, found before any file is read.
std::string LanguageValueProblem(const BrandingRequest& request);

// RRGGBB (six hexadecimal digits, an optional leading '#') as 0x00RRGGBB.
bool ParseCaptionColour(const std::string& text, uint32_t* colour);

// The characters a button shows of text (see MAX_LANGUAGE_TEXT_CHARACTERS); text is valid UTF-8.
size_t ShownCharacters(const std::string& text);

// Writes the languages resource when request names languages or the caption (keeping of the
// stub's own list what it does not replace), and language_pictures as its flag. Warns of a
// caption colour the background makes hard to read.
bool ApplyLanguages(const BrandingRequest& request, bool language_pictures, ResourceTable* table,
                    std::vector<std::string>* warnings, std::string* error);

// Fills branding's language fields from table's languages resource.
void ReadLanguageBranding(const ResourceTable& table, StubBranding* branding);

// WCAG 2: relative luminance and the contrast ratio (1 to 21) of two 0xRRGGBB colours.
double RelativeLuminance(uint32_t colour);
double ContrastRatio(uint32_t a, uint32_t b);

// The average colour (0xRRGGBB) behind the caption in the 8-bit background dib (a packed DIB,
// uncompressed): the band of 15 rows from 72 % of its height, the whole width, where the window
// draws the caption at 96 DPI. False when dib is not such a picture.
bool CaptionBandColour(const std::vector<uint8_t>& dib, uint32_t* colour);

}  // namespace qjxpack
