#pragma once
// The window's notice line: what the radio did (keyed, unkeyed, why a
// transmission was stopped) and why a press did nothing, in words on screen
// that a screen reader speaks as they change.
//
// Qt 6.4 sends no announcements. Orca speaks an object with the
// notification role each time it is shown: its role and the labels inside
// it. So the line is a notification around one label, and each new text is
// made known by showing the line again: one event a text.

#include <QString>

class QWidget;

// Gives the layout's "noticeLine" its notification role. Once, with the controls.
void DescribeNoticeLine(QWidget& form1);

// Puts `text` in the line and tells assistive technology, even when the
// text is the one already there (a press refused twice is told twice).
void ShowNotice(QWidget& form1, const QString& text);

QString NoticeText(const QWidget& form1);
