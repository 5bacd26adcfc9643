#pragma once

#include "app/commandline.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace zuno {

class Settings;

// Exit codes of the headless commands, beside kBadUsageExit.
inline constexpr int kPortNotOpenedExit = 1;
inline constexpr int kNotAnsweredExit = 3;
inline constexpr int kInterruptedExit = 130;

// One command of --send and what came back.
struct SentCommand
{
    QString port;             // as given, or the stored COM number ("COM5")
    QString device;           // what the port opens
    QByteArray address;       // "" (SINGLE), "AFFF", "A001" ...
    QString command;          // the command text, without CR
    QByteArray sent;          // the bytes on the wire, address and CR included
    QByteArray reply;         // every byte received in the reply window; empty: none
    QString status;           // the status line's words for a decoded read command; null: none
    std::optional<double> ms; // from the send to the last byte received
    bool ok() const { return !reply.isEmpty() || address == "AFFF"; }
};

// One projector's readings for --status.
struct ProjectorStatus
{
    QString port;
    QByteArray address;
    QString power; // the status line's words; null when not read
    QString input;
    QString setting;
    std::optional<int> lampHours;
    std::optional<std::array<double, 3>> temperatures;
    QString error; // null when every read was answered and decoded
    bool ok() const { return error.isNull(); }
};

// One line of standard output (newline included) in the chosen format.
QString formatSent(const SentCommand& command, CommandLine::Format format);
QString formatStatus(const ProjectorStatus& status, CommandLine::Format format);
// The first line of --status --format csv.
QString statusCsvHeader();

class PortRun;

// Runs --send or --status: opens the ports (each port a session of its own, side by side),
// exchanges through the panel's exchange engine, prints the results on standard output as they
// come and the diagnostics on standard error, and answers finished() with the exit code. Nothing
// is stored.
class HeadlessRun : public QObject
{
    Q_OBJECT
  public:
    HeadlessRun(const CommandLine& line, Settings& settings, QObject* parent = nullptr);
    ~HeadlessRun() override;

    void start();
    // A termination signal: every port closed, then finished(kInterruptedExit).
    void interrupt();

  signals:
    void finished(int exitCode);

  private:
    void portDone();
    void printReady();

    const CommandLine m_line;
    Settings& m_settings;
    std::vector<std::unique_ptr<PortRun>> m_runs;
    std::size_t m_printed = 0; // ports whose results are on standard output
    bool m_finished = false;
};

} // namespace zuno
