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

// Tells assistive technology that the window is busy (speaking) or not.
void ShowBusy(QWidget& form1, bool busy);
