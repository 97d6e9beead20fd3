// Strokes of the font: segments (x1, y1, x2, y2) in a cell 512 wide and 1,024 high
// (y down), each glyph ended by a negative x1.
#include "pellax/game/render/stroke_font.h"

namespace {

#define G(x1, y1, x2, y2) (x1) * 128, (y1) * 128, (x2) * 128, (y2) * 128
#define kGlyphEnd -1, 0, 0, 0

const int32_t glyph_33[] = {G(2,0,2,4), G(1,6,3,6), G(3,6,3,8), G(3,8,1,8), G(1,8,1,6), kGlyphEnd};  // !
const int32_t glyph_40[] = {G(2,8,0,4), G(0,4,2,0), kGlyphEnd};  // (
const int32_t glyph_41[] = {G(2,8,4,4), G(4,4,2,0), kGlyphEnd};  // )
const int32_t glyph_43[] = {G(2,0,2,8), G(0,4,4,4), kGlyphEnd};  // +
const int32_t glyph_44[] = {G(2,6,0,10), kGlyphEnd};  // ,
const int32_t glyph_45[] = {G(0,4,4,4), kGlyphEnd};  // -
const int32_t glyph_46[] = {G(1,6,3,6), G(3,6,3,8), G(3,8,1,8), G(1,8,1,6), kGlyphEnd};  // .
const int32_t glyph_48[] = {G(0,0,4,0), G(4,0,4,8), G(4,8,0,8), G(0,8,0,0), kGlyphEnd};  // 0
const int32_t glyph_49[] = {G(2,0,2,8), kGlyphEnd};  // 1
const int32_t glyph_50[] = {G(0,0,4,0), G(4,0,4,4), G(4,4,0,4), G(0,4,0,8), G(0,8,4,8), kGlyphEnd};  // 2
const int32_t glyph_51[] = {G(0,0,4,0), G(4,0,4,8), G(4,8,0,8), G(0,4,4,4), kGlyphEnd};  // 3
const int32_t glyph_52[] = {G(0,0,0,4), G(0,4,4,4), G(4,0,4,8), kGlyphEnd};  // 4
const int32_t glyph_53[] = {G(4,0,0,0), G(0,0,0,4), G(0,4,4,4), G(4,4,4,8), G(4,8,0,8), kGlyphEnd};  // 5
const int32_t glyph_54[] = {G(4,0,0,0), G(0,0,0,8), G(0,4,4,4), G(4,4,4,8), G(4,8,0,8), kGlyphEnd};  // 6
const int32_t glyph_55[] = {G(0,0,4,0), G(4,0,4,8), kGlyphEnd};  // 7
const int32_t glyph_56[] = {G(4,0,0,0), G(0,0,0,8), G(0,4,4,4), G(4,0,4,8), G(4,8,0,8), kGlyphEnd};  // 8
const int32_t glyph_57[] = {G(4,0,0,0), G(0,0,0,4), G(0,4,4,4), G(4,0,4,8), kGlyphEnd};  // 9
const int32_t glyph_61[] = {G(0,3,4,3), G(0,5,4,5), kGlyphEnd};  // =
const int32_t glyph_63[] = {G(2,0,6,0), G(6,0,6,2), G(6,2,2,2), G(2,2,2,4), G(1,6,3,6), G(3,6,3,8), G(3,8,1,8), G(1,8,1,6), kGlyphEnd};  // ?
const int32_t glyph_64[] = {G(2,0,0,2), G(0,2,0,6), G(0,6,2,8), G(2,8,6,8), G(6,8,8,6), G(8,6,8,2), G(8,2,6,0), G(6,0,2,0), G(2,6,2,2), G(2,2,6,2), G(6,2,6,4), G(6,4,2,4), kGlyphEnd};  // @
const int32_t glyph_65[] = {G(0,0,0,8), G(0,0,4,0), G(4,0,4,8), G(0,4,4,4), kGlyphEnd};  // A
const int32_t glyph_66[] = {G(0,0,2,0), G(2,0,4,2), G(4,2,2,4), G(2,4,4,6), G(4,6,2,8), G(2,8,0,8), G(0,0,0,8), G(0,4,2,4), kGlyphEnd};  // B
const int32_t glyph_67[] = {G(0,0,4,0), G(0,0,0,8), G(0,8,4,8), kGlyphEnd};  // C
const int32_t glyph_68[] = {G(0,0,2,0), G(2,0,4,2), G(4,2,4,6), G(4,6,2,8), G(2,8,0,8), G(0,8,0,0), kGlyphEnd};  // D
const int32_t glyph_69[] = {G(0,0,4,0), G(0,0,0,8), G(0,4,4,4), G(0,8,4,8), kGlyphEnd};  // E
const int32_t glyph_70[] = {G(0,0,4,0), G(0,0,0,8), G(0,4,4,4), kGlyphEnd};  // F
const int32_t glyph_71[] = {G(0,0,4,0), G(0,0,0,8), G(0,8,4,8), G(4,8,4,4), G(4,4,2,4), kGlyphEnd};  // G
const int32_t glyph_72[] = {G(0,0,0,8), G(4,0,4,8), G(0,4,4,4), kGlyphEnd};  // H
const int32_t glyph_73[] = {G(0,0,4,0), G(2,0,2,8), G(0,8,4,8), kGlyphEnd};  // I
const int32_t glyph_74[] = {G(4,0,4,8), G(4,8,0,8), G(0,8,0,6), kGlyphEnd};  // J
const int32_t glyph_75[] = {G(0,0,0,8), G(0,4,4,0), G(0,4,4,8), kGlyphEnd};  // K
const int32_t glyph_76[] = {G(0,0,0,8), G(0,8,4,8), kGlyphEnd};  // L
const int32_t glyph_77[] = {G(0,0,0,8), G(4,0,4,8), G(0,0,2,4), G(4,0,2,4), kGlyphEnd};  // M
const int32_t glyph_78[] = {G(0,0,0,8), G(4,0,4,8), G(0,0,4,8), kGlyphEnd};  // N
const int32_t glyph_79[] = {G(0,0,4,0), G(4,0,4,8), G(4,8,0,8), G(0,8,0,0), kGlyphEnd};  // O
const int32_t glyph_80[] = {G(0,0,4,0), G(4,0,4,4), G(4,4,0,4), G(0,0,0,8), kGlyphEnd};  // P
const int32_t glyph_81[] = {G(0,0,4,0), G(4,0,4,8), G(4,8,0,8), G(0,8,0,0), G(4,8,2,6), kGlyphEnd};  // Q
const int32_t glyph_82[] = {G(0,0,4,0), G(4,0,4,4), G(4,4,0,4), G(2,4,4,8), G(0,0,0,8), kGlyphEnd};  // R
const int32_t glyph_83[] = {G(4,0,0,0), G(0,0,0,4), G(0,4,4,4), G(4,4,4,8), G(4,8,0,8), kGlyphEnd};  // S
const int32_t glyph_84[] = {G(0,0,4,0), G(2,0,2,8), kGlyphEnd};  // T
const int32_t glyph_85[] = {G(0,0,0,8), G(0,8,4,8), G(4,8,4,0), kGlyphEnd};  // U
const int32_t glyph_86[] = {G(0,0,2,8), G(2,8,4,0), kGlyphEnd};  // V
const int32_t glyph_87[] = {G(0,0,0,8), G(0,8,2,4), G(2,4,4,8), G(4,8,4,0), kGlyphEnd};  // W
const int32_t glyph_88[] = {G(0,0,4,8), G(4,0,0,8), kGlyphEnd};  // X
const int32_t glyph_89[] = {G(0,0,2,4), G(4,0,2,4), G(2,4,2,8), kGlyphEnd};  // Y
const int32_t glyph_90[] = {G(0,0,4,0), G(4,0,0,8), G(0,8,4,8), kGlyphEnd};  // Z

#undef G
#undef kGlyphEnd

}  // namespace

const int32_t* const glyph_table[kGlyphCount] = {
    nullptr, glyph_33, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, glyph_40, glyph_41, nullptr, glyph_43,
    glyph_44, glyph_45, glyph_46, nullptr, glyph_48, glyph_49,
    glyph_50, glyph_51, glyph_52, glyph_53, glyph_54, glyph_55,
    glyph_56, glyph_57, nullptr, nullptr, nullptr, glyph_61,
    nullptr, glyph_63, glyph_64, glyph_65, glyph_66, glyph_67,
    glyph_68, glyph_69, glyph_70, glyph_71, glyph_72, glyph_73,
    glyph_74, glyph_75, glyph_76, glyph_77, glyph_78, glyph_79,
    glyph_80, glyph_81, glyph_82, glyph_83, glyph_84, glyph_85,
    glyph_86, glyph_87, glyph_88, glyph_89, glyph_90,
};
