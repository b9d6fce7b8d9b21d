#include "pcm_convert.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void writeSample(char* out, float v, QAudioFormat::SampleFormat format) {
    v = std::clamp(v, -1.0f, 1.0f);
    switch (format) {
    case QAudioFormat::UInt8: {
        const quint8 s = quint8(std::lround(v * 127.0f) + 128);
        std::memcpy(out, &s, sizeof s);
        break;
    }
    case QAudioFormat::Int16: {
        const qint16 s = qint16(std::lround(v * 32767.0f));
        std::memcpy(out, &s, sizeof s);
        break;
    }
    case QAudioFormat::Int32: {
        const qint32 s = qint32(std::llround(double(v) * 2147483647.0));
        std::memcpy(out, &s, sizeof s);
        break;
    }
    case QAudioFormat::Float:
        std::memcpy(out, &v, sizeof v);
        break;
    default:
        break;
    }
}

}  // namespace

QByteArray ConvertPcm16(const std::vector<qint16>& samples, int rate, int channels,
                        const QAudioFormat& target) {
    const int outRate = target.sampleRate();
    const int outChannels = target.channelCount();
    const int bytesPerSample = target.bytesPerSample();
    if (rate <= 0 || channels <= 0 || outRate <= 0 || outChannels <= 0 || bytesPerSample <= 0)
        return {};
    const qint64 inFrames = qint64(samples.size()) / channels;
    if (inFrames == 0)
        return {};
    const qint64 outFrames = std::max<qint64>(1, inFrames * outRate / rate);

    auto input = [&](qint64 frame, int outChannel) -> float {
        const qint16* f = samples.data() + frame * channels;
        if (outChannels == 1 && channels > 1) {
            float sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += f[c];
            return sum / channels / 32768.0f;
        }
        return f[std::min(outChannel, channels - 1)] / 32768.0f;
    };

    QByteArray out(outFrames * outChannels * bytesPerSample, Qt::Uninitialized);
    char* p = out.data();
    for (qint64 o = 0; o < outFrames; ++o) {
        const double pos = double(o) * rate / outRate;
        const qint64 i0 = std::min<qint64>(qint64(pos), inFrames - 1);
        const qint64 i1 = std::min<qint64>(i0 + 1, inFrames - 1);
        const float t = float(pos - double(i0));
        for (int c = 0; c < outChannels; ++c) {
            writeSample(p, input(i0, c) * (1 - t) + input(i1, c) * t, target.sampleFormat());
            p += bytesPerSample;
        }
    }
    return out;
}
