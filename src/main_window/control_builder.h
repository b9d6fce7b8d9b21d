#pragma once
// Builds the main window's controls from the layout table: one widget per
// row, with its geometry, font, colours and place in the tab order.

class QWidget;

void BuildControls(QWidget& form);

// Logical pixels for a twips value of the layout table.
int TwipsToPixels(int twips);
