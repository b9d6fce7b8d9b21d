#pragma once
// Qt's own command-line options (-style fusion, -platform offscreen,
// --display=:1, ...), told apart from Solvane's so the parser can leave
// them to QApplication, which reads them from the untouched argv. Pure.

#include <QString>
#include <QStringList>

struct QtOptionSplit {
    QStringList own; // the program name and Solvane's arguments, in order
    QStringList qt;  // Qt's options with their values, in order
    QString error;   // a Qt option that needs a value came last without one
};

// `arguments` includes the program name first, as argv does. Qt's options
// take one or two dashes, and a value either as the next argument or after
// '='. Nothing after "--" is Qt's.
QtOptionSplit SplitQtOptions(const QStringList& arguments);
