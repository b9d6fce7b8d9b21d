// Any bytes the radio may send, fed through the real exchange queue and the
// status decoding: one poll round (frequency and mode, then S-meter) whose
// replies arrive in pieces cut where the input says.

#include "frequency_display.h"
#include "radio_link.h"
#include "serial_port.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace {

class ScriptedPort final : public SerialPort {
public:
    QByteArray input;
    int writes = 0;
    bool open(const QString&, const LineSettings&) override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void write(const QByteArray& bytes) override
    {
        if (bytes.size() != 5)
            std::abort(); // every command is five whole bytes
        ++writes;
    }
    qint64 bytesToWrite() const override { return 0; }
    qint64 bytesAvailable() const override { return input.size(); }
    QByteArray read(qint64 maxBytes) override
    {
        QByteArray part = input.left(maxBytes);
        input.remove(0, part.size());
        return part;
    }
    void discardInput() override { input.clear(); }
    void deliver(const QByteArray& bytes)
    {
        input += bytes;
        emit readyRead();
    }

private:
    bool open_ = false;
};

class NoMessages final : public UserMessages {
public:
    void showPortNotAvailable(const QString&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_reply_path";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    ScriptedPort port;
    NoMessages messages;
    RadioLink link(port, messages, [](int) { return QStringLiteral("fuzz"); });
    link.OpenPort(2, QStringLiteral("57600,N,8,1"));

    int replies = 0;
    link.SendCommand(RadioLink::Make(cat::MakeCommand(cat::ReadFrequencyMode), [&](const QByteArray& reply) {
        ++replies;
        if (reply.size() > 5)
            std::abort();
        if (const auto reading = DecodeFrequencyReply(reply)) {
            const QString text = FormatFrequencyText(reading->frequencyDigits, true);
            if (text.size() != 10 || reading->frequency < 0 || reading->frequency > 99999999)
                std::abort();
            (void)cat::ModeText(reading->modeCode);
        }
    }));
    link.SendCommand(RadioLink::Make(cat::MakeCommand(cat::ReadRxStatus), [&](const QByteArray& reply) {
        ++replies;
        if (reply.size() > 1)
            std::abort();
        if (reply.size() == 1 && SMeterLevel(std::uint8_t(reply[0])) > 31)
            std::abort();
    }));

    // First byte: where to cut the input into deliveries. Waits are short
    // and bounded so the quiet gap (3 ms at this rate) can run out.
    const int chunk = size ? 1 + data[0] % 7 : 1;
    size_t at = size ? 1 : 0;
    for (int spins = 0; spins < 64 && link.Busy(); ++spins) {
        if (link.AwaitingReply() && at < size) {
            const size_t n = std::min(size - at, size_t(chunk));
            port.deliver(QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(n)));
            at += n;
        } else if (link.AwaitingReply() && spins > 40) {
            link.BreakWait(); // the radio has said all it will
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 4);
    }
    link.ClosePort();
    // A broken wait settles for longer than this harness waits, so the
    // second read may never go out; but nothing goes out that is not whole,
    // and no reply is handed over without its command.
    if (replies > port.writes || port.writes > 2)
        std::abort();
    return 0;
}
