// The main window's memory channels: the list from "Memories.txt" and the
// recall of a picked channel.

#include "main_window.h"

#include "memory_file.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

// --- Memory channels ----------------------------------------------------------

void MainWindow::LoadMemories()
{
    const QList<memories::MemoryChannel> channels = memories::LoadMemoryFile(parts_.memoryFile);
    MemoryNames.clear();
    MemoryFrequencies.clear();
    MemoryModes.clear();
    MemoryNames.reserve(channels.size());
    for (const auto& channel : channels) {
        MemoryNames.append(channel.name);
        MemoryFrequencies.append(channel.frequencyText);
        MemoryModes.append(channel.modeWord);
    }
    LastMemoryIndex = MemoryNames.size() - 1;
    const QString caption = cboMemories->currentText();
    cboMemories->clear();
    cboMemories->addItems(MemoryNames);
    // No entry chosen yet: the first pick or the first Down key takes entry 0.
    cboMemories->setCurrentIndex(-1);
    cboMemories->setEditText(caption);
    // setEditText leaves the cursor at the end, scrolling the first letter off.
    cboMemories->lineEdit()->setCursorPosition(0);
}

void MainWindow::cboMemories_Click()
{
    const QString name = cboMemories->currentText();
    const qsizetype i = MemoryNames.indexOf(name);
    if (i < 0 || i > LastMemoryIndex)
        return;
    const memories::KhzValue khz = memories::ParseKilohertz(MemoryFrequencies[i]);
    if (!khz.fits)
        return; // too large for the radio's arithmetic: out of range
    const auto frequency = cat::KilohertzTo10Hz(khz.kilohertz);
    if (!frequency || !cat::InTuningRange(*frequency) || refused(Press::Jump))
        return;
    // A memory is on the main VFO: satellite mode ends first.
    radio_.SetSatellite(false);
    radio_.SetFrequency(*frequency);
    // An unknown word leaves 0: LSB.
    radio_.SetMode(cat::ModeCodeForWord(MemoryModes[i]).value_or(0));
    // A pick by mouse moves on to Exit; a pick by key stays in the list, so
    // the next Down takes the next channel rather than pressing Exit.
    if (!lastInputWasKey_)
        cmdExit->setFocus();
}
