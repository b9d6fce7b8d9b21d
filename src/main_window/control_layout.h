#pragma once
// The main window's controls as data: one row per control, positions in
// twips (1/1440 inch; 15 twips to a logical pixel at 96 dpi).

#include <array>

// Toggle: a button that stays down while its state is on. Notice: a framed
// line of text a screen reader is told of each time it changes.
enum class ControlKind { TextBox, Label, ProgressBar, Button, Toggle, ComboBox, Slider, Notice };

struct Rgb {
    int r, g, b;
};

inline constexpr Rgb kNoColour{-1, -1, -1};
inline constexpr Rgb kYellow{255, 255, 192};
inline constexpr Rgb kOrange{255, 192, 128};
inline constexpr Rgb kPink{255, 192, 192};
inline constexpr Rgb kCyan{128, 255, 255};
inline constexpr Rgb kRed{224, 0, 0};
inline constexpr Rgb kStopRed{255, 128, 128};
inline constexpr Rgb kWhite{255, 255, 255};

struct FontSpec {
    const char* family; // nullptr: the default font
    double points;
    bool bold;
};

inline constexpr FontSpec kCourier72{"Courier New", 72, true};
inline constexpr FontSpec kCourier15{"Courier New", 15.75, true};
inline constexpr FontSpec kCourier45{"Courier New", 45.75, true};
inline constexpr FontSpec kArial24{"Arial", 24, true};
inline constexpr FontSpec kArial16{"Arial", 16, true};
inline constexpr FontSpec kSans13{"MS Sans Serif", 13.5, true};
inline constexpr FontSpec kSans12{"MS Sans Serif", 12, false};
inline constexpr FontSpec kDefaultFont{nullptr, 0, false};

enum class Align { Left, Centre, Right };

struct ControlSpec {
    const char* name;
    ControlKind kind;
    const char* caption;
    int left, top, width, height; // twips
    FontSpec font;
    Rgb background;
    int tabIndex;
    Align align = Align::Left;
    bool framed = false; // single border (labels)
    Rgb textColour = kNoColour;
    bool hidden = false; // shown only while what it tells of holds
};

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 9555;
inline constexpr int kClientHeightTwips = 8250;

// Control arrays are listed element by element as "Command1(3)" and so on.
inline constexpr std::array<ControlSpec, 38> kMainWindowControls{{
    {"txtFreq", ControlKind::TextBox, "", 180, 150, 9225, 1770, kCourier72, kYellow, 3, Align::Right},
    {"Label1", ControlKind::Label, " . 1 2 3 4 5 6 7 8 9 +20 +40 +60", 180, 1890, 6300, 435, kCourier15, kNoColour, 6, Align::Left, true},
    {"pbarSmeter", ControlKind::ProgressBar, "", 180, 2310, 6285, 765, kDefaultFont, kNoColour, 5},
    {"txtMode", ControlKind::TextBox, "", 6450, 1905, 2955, 1170, kCourier45, kOrange, 4, Align::Centre},

    {"Command1(0)", ControlKind::Button, "1.8", 180, 3150, 1125, 735, kArial24, kYellow, 9},
    {"Command1(1)", ControlKind::Button, "3.5", 1320, 3150, 1125, 735, kArial24, kYellow, 10},
    {"Command1(2)", ControlKind::Button, "7", 2475, 3150, 1125, 735, kArial24, kYellow, 11},
    {"Command1(3)", ControlKind::Button, "14", 3645, 3150, 1125, 735, kArial24, kYellow, 12},
    {"Command1(4)", ControlKind::Button, "21", 4815, 3150, 1125, 735, kArial24, kYellow, 13},
    {"Command1(5)", ControlKind::Button, "28", 5970, 3150, 1125, 735, kArial24, kYellow, 14},
    {"Command1(6)", ControlKind::Button, "144", 7140, 3150, 1125, 735, kArial24, kYellow, 15},
    {"Command1(7)", ControlKind::Button, "433", 8310, 3150, 1095, 735, kArial24, kYellow, 16},

    {"cboMemories", ControlKind::ComboBox, " Preset frequency", 150, 3930, 2895, 480, kSans13, kYellow, 32},
    {"cmdMhzPlus", ControlKind::Button, "+1 Mhz", 3180, 3960, 1155, 500, kSans13, kYellow, 24},
    {"cmdMhzMinus", ControlKind::Button, "-1 Mhz", 3180, 4500, 1155, 500, kSans13, kYellow, 25},

    {"Command2(0)", ControlKind::Button, "LSB", 4500, 3960, 1155, 500, kSans13, kOrange, 26},
    {"Command2(1)", ControlKind::Button, "USB", 5760, 3960, 1155, 500, kSans13, kOrange, 27},
    {"Command2(2)", ControlKind::Button, "CW", 7020, 3960, 1155, 500, kSans13, kOrange, 28},
    {"Command2(3)", ControlKind::Button, "FM", 4500, 4500, 1155, 500, kSans13, kOrange, 29},
    {"Command2(4)", ControlKind::Button, "AM", 5760, 4500, 1155, 500, kSans13, kOrange, 30},
    {"Command2(5)", ControlKind::Button, "CW(R)", 7020, 4500, 1155, 500, kSans13, kOrange, 31},

    {"cmdExit", ControlKind::Button, "E&xit", 8280, 3960, 1125, 1035, kArial24, kCyan, 0},
    {"cmdDecimals", ControlKind::Button, "De&cimals On/Off", 150, 4500, 2895, 500, kSans13, kPink, 7},
    {"cmdSettings", ControlKind::Button, "&Settings", 150, 5040, 2895, 500, kSans13, kPink, 17},
    {"cmdTakeControl", ControlKind::Button, "Resu&me", 150, 5580, 2895, 500, kSans13, kPink, 2},
    {"cmdSpeak", ControlKind::Button, "Spea&k", 150, 6120, 2895, 500, kSans13, kPink, 8},

    {"Label5", ControlKind::Label, "", 3180, 5040, 1155, 1575, kDefaultFont, kYellow, 33, Align::Left, true},
    {"Label2", ControlKind::Label, "+/- 50", 3210, 5100, 1095, 375, kSans13, kYellow, 21, Align::Centre},
    {"Label3", ControlKind::Label, "+/- 5K", 3210, 5640, 1095, 375, kSans13, kYellow, 22, Align::Centre},
    {"Label4", ControlKind::Label, "+/- 50K", 3210, 6150, 1095, 375, kSans13, kYellow, 23, Align::Centre},

    {"sldLow", ControlKind::Slider, "", 4410, 5070, 5055, 420, kDefaultFont, kNoColour, 18},
    {"sldMid", ControlKind::Slider, "", 4410, 5580, 5055, 420, kDefaultFont, kNoColour, 19},
    {"sldHigh", ControlKind::Slider, "", 4410, 6120, 5055, 420, kDefaultFont, kNoColour, 20},

    // Transmitting: over the right end of the S-meter scale, beside the mode.
    {"lblTransmit", ControlKind::Label, "TX", 4620, 1905, 1800, 405, kArial16, kRed, 34, Align::Centre, false, kWhite, true},
    // The row below the window's first rows: the person's stop, satellite
    // mode and its uplink, then the line that says what the radio did.
    {"cmdTransmit", ControlKind::Button, "Stop &TX", 150, 6660, 2895, 500, kSans13, kStopRed, 1},
    {"cmdSatellite", ControlKind::Toggle, "S&AT", 3180, 6660, 1155, 500, kSans13, kOrange, 35},
    {"txtUplink", ControlKind::TextBox, "", 4410, 6660, 5055, 500, kCourier15, kYellow, 36, Align::Centre, false, kNoColour, true},
    {"noticeLine", ControlKind::Notice, "", 150, 7200, 9315, 960, kSans12, kNoColour, 37},
}};
