#pragma once
// What assistive technology (a screen reader over AT-SPI) finds in the main
// window: spoken names for its controls, the window as a frame, decoration
// kept out of the tree, and Alt+F to the frequency box.

class QPushButton;
class QWidget;

// Describes the main window's controls, found by their layout names
// (txtFreq, pbarSmeter, Command1(0), ...). Call once the controls exist.
// Captions on screen are left as they are.
void DescribeForAssistiveTech(QWidget& form1);

// The Decimals button speaks its state: "Decimals on" or "Decimals off".
void ShowDecimalsState(QPushButton* button, bool on);

// The stop control says what pressing it does: "Stop transmitting", or
// "Allow transmitting" once the person has stopped keying.
void ShowKeyingState(QPushButton* button, bool keyingStopped);

// The bar under the scale shows power out while transmitting: its scale
// label and its spoken name and reading say so, so that nobody takes it for
// a signal strength. The bar's value is the caller's.
void ShowPowerOutMeter(QWidget& form1, bool powerOut);

// A radio that cannot be read: the readouts are named and tipped as what
// was last set, and the bar stays empty, saying why in its name, tooltip
// and the caption over it.
void ShowReadingsAssumed(QWidget& form1, bool assumed);

// Tells assistive technology that the window is busy (speaking) or not.
void ShowBusy(QWidget& form1, bool busy);
