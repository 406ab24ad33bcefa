#pragma once
// Symbologies and rotations of the barcode bitmap component.

#include <stdexcept>
#include <string>

namespace qm {

enum TBarCodeType {
    bcCode128 = 0,   // Code 128
    bcCode39 = 1,    // Code 39 with start and stop character *
    bcCode39Ext = 2, // Code 39 full ASCII
    bcUPCA = 3,      // UPC-A
    bcInt2of5 = 4,   // Interleaved 2 of 5
    bcCode93 = 5,    // Code 93
    bcEAN13 = 6,     // EAN-13
    bcEAN8 = 7,      // EAN-8
    bcEAN128 = 8,    // GS1-128: Code 128 with FNC1 after the start character
    bcPOSTNET = 9,   // POSTNET
    bcUPCE = 10,     // UPC-E
    bcUPC2ext = 11,  // UPC/EAN two-digit add-on
    bcUPC5ext = 12,  // UPC/EAN five-digit add-on
};

inline constexpr int kBarCodeTypeCount = 13;

enum TbcRotate {
    bcNoRotate = 0,
    bcRotate90 = 1, // a quarter turn clockwise
    bcRotate180 = 2,
    bcRotate270 = 3, // a quarter turn counter-clockwise
};

// Error of the barcode component: a symbology that is not built, a size it
// cannot draw. The message says what and why.
class BarcodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Under bcEAN128 this character marks an FNC1: at the start of the text it is
// the FNC1 after the start character, inside the text a separator FNC1 at that
// place (after a variable-length element such as the ZIP of "420").
inline constexpr char16_t kFnc1Char = 202;

// Readable name of a symbology ("Code 128", "POSTNET", ...); "unknown" outside the range.
const char* BarCodeTypeName(int type);

// True for the symbologies this component draws: bcCode128, bcEAN128, bcPOSTNET.
bool IsBarCodeTypeBuilt(int type);

} // namespace qm
