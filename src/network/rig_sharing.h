#pragma once
// Shares the radio over the network: the server, fed by the Transceiver,
// started from a listen plan, with a one-line status for the window.

#include "listen_plan.h"
#include "rigctl_server.h"
#include "transceiver_backend.h"
#include "transmit_plan.h"

#include <QElapsedTimer>
#include <QObject>

class Transceiver;

class RigSharing : public QObject {
    Q_OBJECT
public:
    explicit RigSharing(Transceiver& radio, QObject* parent = nullptr);

    // Listens as planned, admitting whom the plan allows. False when it
    // could not (or the plan was unusable); Problem() then says why, naming
    // the setting to change.
    bool Start(const ListenPlan& plan);
    // Closes every connection and stops listening (at exit, before the
    // radio is handed back).
    void Stop();
    // Who may key the transmitter, and for how long; until set, this
    // computer for Transceiver::DefaultTransmitLimitS.
    void ApplyTransmitPlan(const TransmitPlan& plan);

    QString Problem() const { return problem_; }
    QString Status() const;
    // With nothing else running (the headless server), a server that cannot
    // listen ends the program: its message does not say that it runs on.
    void SetStandalone(bool standalone) { standalone_ = standalone; }
    RigctlServer& Server() { return server_; }

signals:
    void statusChanged(const QString& status);
    // A client the plan does not allow was turned away: once per address,
    // and past the server's limit of addresses a summary now and then. Also
    // when the system would not hand over new connections (see
    // AcceptTroubleText), at most once a minute.
    void connectionRefused(const QString& message);

private:
    Transceiver& radio_;
    TransceiverBackend backend_;
    RigctlServer server_;
    ListenPlan plan_;
    QString problem_;
    bool standalone_ = false;
    QElapsedTimer acceptTroubleSaid_;
    static constexpr qint64 kAcceptTroubleRepeatMs = 60 * 1000;
};

// Why the server could not listen where planned, naming the cause and the
// setting or option to change.
QString ListenProblem(const ListenPlan& plan, QAbstractSocket::SocketError error, const QString& errorText,
                      bool standalone = false);

// "sharing on 127.0.0.1:4532, 1 program", "sharing on [::1]:4532, 2 programs",
// "sharing on 0.0.0.0:4532 (open to the network), 0 programs"; with
// "127.0.0.1:50312 transmitting" after it while a program holds the transmitter.
QString SharingStatus(const QHostAddress& address, quint16 port, int programs, const QString& transmitting = {});

// The line that stands for refusals not reported one by one.
QString RefusalSummaryText(int connections, int addresses);
// Why new connections wait: the system refused to hand one over (most
// often the process is out of file descriptors).
QString AcceptTroubleText(QAbstractSocket::SocketError error);
