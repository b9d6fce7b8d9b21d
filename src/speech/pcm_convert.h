#pragma once
// Converts interleaved 16-bit PCM to another sample rate, channel count and
// sample format, for audio devices that refuse a file's own format.

#include <QAudioFormat>
#include <QByteArray>

#include <vector>

// Linear interpolation between frames for the rate; mono is copied to every
// output channel, several channels mixed down to mono by averaging, and
// otherwise channel i takes input channel min(i, channels - 1).
QByteArray ConvertPcm16(const std::vector<qint16>& samples, int rate, int channels,
                        const QAudioFormat& target);
