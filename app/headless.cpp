#include "app/headless.h"

#include "core/commandextraction.h"
#include "core/echorendering.h"
#include "core/exchange.h"
#include "core/panellayout.h"
#include "core/replydecoder.h"
#include "session/session.h"
#include "settings/settings.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <functional>

namespace zuno {

namespace {

constexpr QByteArrayView kBroadcast = "AFFF";

void print(FILE* stream, const QString& text)
{
    if (text.isEmpty())
        return;
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QString hexOf(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString renderingOf(const QByteArray& bytes)
{
    return bytes.isEmpty() ? QString() : renderEcho(bytes).text.trimmed();
}

// "SINGLE", "001" ...: the address as the panel's address row names it.
QString addressCaption(const QByteArray& prefix)
{
    const int option = addressOptionOf(prefix);
    return option < 0 ? QString::fromLatin1(prefix)
                      : QString::fromLatin1(addressOptions()[std::size_t(option)].caption);
}

QJsonValue nullable(const QString& text)
{
    return text.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QString jsonLine(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n';
}

QString csvField(const QString& text)
{
    static const QRegularExpression special(QStringLiteral("[\",\\r\\n]"));
    if (!text.contains(special))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString degrees(const std::array<double, 3>& temperatures)
{
    QStringList figures;
    for (const double t : temperatures)
        figures << QString::number(t, 'f', 1);
    return figures.join(u' ');
}

} // namespace

QString formatSent(const SentCommand& c, CommandLine::Format format)
{
    if (format != CommandLine::Format::Json) {
        if (c.reply.isEmpty())
            return QStringLiteral("no reply\n");
        return renderingOf(c.reply) + (c.status.isNull() ? QString() : u'\t' + c.status) + u'\n';
    }
    return jsonLine({{QStringLiteral("port"), c.port},
                     {QStringLiteral("device"), c.device},
                     {QStringLiteral("address"), QString::fromLatin1(c.address)},
                     {QStringLiteral("command"), c.command},
                     {QStringLiteral("sent"), hexOf(c.sent)},
                     {QStringLiteral("reply"), hexOf(c.reply)},
                     {QStringLiteral("text"), renderingOf(c.reply)},
                     {QStringLiteral("status"), nullable(c.status)},
                     {QStringLiteral("ms"), c.ms ? QJsonValue(*c.ms) : QJsonValue()},
                     {QStringLiteral("ok"), c.ok()}});
}

QString statusCsvHeader()
{
    return QStringLiteral("port,address,power,input,setting,lamp_hours,temperatures,ok,error\n");
}

QString formatStatus(const ProjectorStatus& s, CommandLine::Format format)
{
    const QString hours = s.lampHours ? QString::number(*s.lampHours) : QString();
    const QString temperatures = s.temperatures ? degrees(*s.temperatures) : QString();
    switch (format) {
    case CommandLine::Format::Json: {
        QJsonArray degreesArray;
        if (s.temperatures) {
            for (const double t : *s.temperatures)
                degreesArray.append(t);
        }
        return jsonLine(
            {{QStringLiteral("port"), s.port},
             {QStringLiteral("address"), QString::fromLatin1(s.address)},
             {QStringLiteral("power"), nullable(s.power)},
             {QStringLiteral("input"), nullable(s.input)},
             {QStringLiteral("setting"), nullable(s.setting)},
             {QStringLiteral("lamp_hours"), s.lampHours ? QJsonValue(*s.lampHours) : QJsonValue()},
             {QStringLiteral("temperatures"),
              s.temperatures ? QJsonValue(degreesArray) : QJsonValue()},
             {QStringLiteral("ok"), s.ok()},
             {QStringLiteral("error"), nullable(s.error)}});
    }
    case CommandLine::Format::Csv:
        return QStringList{
                   csvField(s.port),    QString::fromLatin1(s.address),
                   csvField(s.power),   csvField(s.input),
                   csvField(s.setting), hours,
                   temperatures,        s.ok() ? QStringLiteral("true") : QStringLiteral("false"),
                   csvField(s.error)}
                   .join(u',') +
               u'\n';
    case CommandLine::Format::Text:
        break;
    }
    QStringList values;
    const auto orDash = [](const QString& text) {
        return text.isNull() ? QStringLiteral("-") : text;
    };
    if (!s.power.isNull())
        values << s.power << orDash(s.input) << orDash(s.setting)
               << (s.lampHours ? hours + QStringLiteral(" h") : QStringLiteral("-"))
               << (s.temperatures ? temperatures + QStringLiteral(" deg C") : QStringLiteral("-"));
    if (!s.ok())
        values << s.error;
    return QStringLiteral("%1 %2: %3\n").arg(s.port, addressCaption(s.address), values.join(u", "));
}

// One port of a headless run: a session of its own on it, the exchanges one after the other.
class PortRun : public QObject
{
  public:
    PortRun(const CommandLine& line, const CommandLine::Port& port, Settings& settings)
        : m_line(line), m_given(port), m_session(settings, Session::Storing::Never)
    {
        Exchange& exchange = m_session.exchange();
        connect(&exchange, &Exchange::sent, this, [this](const QByteArray& bytes) {
            m_sent = bytes;
            m_clock.start();
        });
        connect(&exchange, &Exchange::received, this,
                [this] { m_lastByteNs = m_clock.isValid() ? m_clock.nsecsElapsed() : -1; });
        connect(&exchange, &Exchange::replyDecoded, this,
                [this](const QString& words) { m_words = words.trimmed(); });
        connect(&exchange, &Exchange::replyCompleted, this, &PortRun::finishStep);
        connect(&exchange, &Exchange::replyWindowClosed, this, &PortRun::finishStep);
        // Each port's session reads the same settings: what they have to say is said once.
        connect(&m_session, &Session::notice, this, [](const QString& text) {
            static QSet<QString> said;
            if (said.contains(text))
                return;
            said.insert(text);
            print(stderr, QStringLiteral("zuno: %1\n").arg(text));
        });
    }

    // Output lines ready to print, taken.
    QString takeOutput() { return std::exchange(m_out, {}); }
    bool isDone() const { return m_done; }
    int exitCode() const { return m_exitCode; }

    void start(std::function<void()> changed)
    {
        m_changed = std::move(changed);
        connect(&m_session, &Session::started, this, &PortRun::started);
        connect(&m_session, &Session::portNeeded, this, &PortRun::failed);
        if (!m_line.sessionLogFile.isEmpty())
            m_session.startLog(m_line.sessionLogFile);
        StartUpChoice run = m_line.startUp;
        run.port = m_given.port;
        run.device = m_given.device;
        run.address = m_line.addresses.isEmpty() ? std::nullopt
                                                 : std::optional(m_line.addresses.constFirst());
        m_session.start(run);
    }

    void end() { m_session.end(); }

  private:
    struct Step
    {
        QByteArray address;
        QByteArray command; // without CR
        QString given;      // the command as given
        std::optional<ReadCommand> read;
        int projector = -1; // --status: the row it fills
    };

    QString portName() const
    {
        return m_given.given.isEmpty() ? QStringLiteral("COM%1").arg(m_session.portChoice().port)
                                       : m_given.given;
    }

    void started()
    {
        if (m_line.replyMs > 0)
            m_session.exchange().setReplyWindow(m_line.replyMs);
        const QByteArray address = m_session.exchange().address();
        if (m_line.action == CommandLine::Action::Send) {
            for (const QString& given : m_line.commands) {
                QByteArray command = consoleCommandFrom(given);
                command.chop(1); // the CR the exchange puts back
                m_steps.push_back({address, command, given, {}, -1});
            }
        } else {
            const QList<QByteArray> addresses =
                m_line.addresses.isEmpty() ? QList<QByteArray>{address} : m_line.addresses;
            if (addresses.contains(kBroadcast.toByteArray())) {
                print(stderr, QStringLiteral("zuno: %1: the stored address is ALL, and a broadcast "
                                             "gets no answer: name the projectors with --address\n")
                                  .arg(portName()));
                return finish(kBadUsageExit);
            }
            for (const QByteArray& prefix : addresses) {
                ProjectorStatus row;
                row.port = portName();
                row.address = prefix;
                m_rows.push_back(row);
                for (const ReadCommand read :
                     {ReadCommand::Status, ReadCommand::Input, ReadCommand::LampHours,
                      ReadCommand::Setting, ReadCommand::Temperatures}) {
                    QByteArray command = readCommandText(read).toByteArray();
                    command.chop(1);
                    m_steps.push_back(
                        {prefix, command, readCommandName(read), read, int(m_rows.size()) - 1});
                }
            }
        }
        nextStep();
    }

    void failed(const QString& reason)
    {
        if (m_session.portChoice().port == 0) {
            print(stderr, QStringLiteral("zuno: no port is stored yet: name one with --port\n"));
            return finish(kBadUsageExit);
        }
        print(stderr, QStringLiteral("zuno: %1: %2\n").arg(portName(), reason));
        if (m_line.action == CommandLine::Action::Status) {
            const QList<QByteArray> addresses =
                m_line.addresses.isEmpty() ? QList<QByteArray>{m_session.exchange().address()}
                                           : m_line.addresses;
            for (const QByteArray& prefix : addresses) {
                ProjectorStatus row;
                row.port = portName();
                row.address = prefix;
                row.error = reason.section(u'\n', 0, 0);
                m_out += formatStatus(row, m_line.format);
            }
        }
        finish(kPortNotOpenedExit);
    }

    void nextStep()
    {
        if (m_session.hasEnded())
            return; // interrupted
        if (m_step >= m_steps.size()) {
            for (; m_rowsPrinted < m_rows.size(); ++m_rowsPrinted)
                m_out += formatStatus(m_rows[m_rowsPrinted], m_line.format);
            return finish(m_answeredAll ? 0 : kNotAnsweredExit);
        }
        const Step& step = m_steps[m_step];
        Exchange& exchange = m_session.exchange();
        m_words = QString();
        m_lastByteNs = -1;
        m_clock.invalidate();
        m_waiting = true;
        exchange.setAddress(step.address);
        exchange.transmit(step.command);
    }

    void finishStep(const QByteArray& reply)
    {
        if (!m_waiting)
            return;
        m_waiting = false;
        const Step& step = m_steps[m_step++];
        const std::optional<double> ms =
            reply.isEmpty() || m_lastByteNs < 0
                ? std::nullopt
                : std::optional(std::round(double(m_lastByteNs) / 1e5) / 10.0);
        if (step.projector < 0) {
            SentCommand sent{
                portName(),   m_session.naming().deviceFor(m_session.portChoice().port),
                step.address, commandTextOf(step.given).toString(),
                m_sent,       reply,
                m_words,      ms};
            m_answeredAll = m_answeredAll && sent.ok();
            m_out += formatSent(sent, m_line.format);
        } else {
            readingDone(step, reply);
        }
        // The rows of projectors read completely are printed as they come.
        const auto rowDone = [this](std::size_t row) {
            return m_step >= m_steps.size() || m_steps[m_step].projector != int(row);
        };
        while (m_rowsPrinted < m_rows.size() && rowDone(m_rowsPrinted))
            m_out += formatStatus(m_rows[m_rowsPrinted++], m_line.format);
        m_changed();
        // The next exchange starts once the exchange has finished with this one.
        QTimer::singleShot(0, this, [this] { nextStep(); });
    }

    void readingDone(const Step& step, const QByteArray& reply)
    {
        ProjectorStatus& row = m_rows[std::size_t(step.projector)];
        const auto addError = [&](const QString& error) {
            m_answeredAll = false;
            row.error = row.error.isNull() ? error : row.error + QStringLiteral("; ") + error;
        };
        if (reply.isEmpty()) {
            addError(QStringLiteral("no reply to %1").arg(step.given));
            // A projector that does not answer STATUS is not there: its other reads are skipped.
            if (*step.read == ReadCommand::Status) {
                while (m_step < m_steps.size() && m_steps[m_step].projector == step.projector)
                    ++m_step;
            }
            return;
        }
        const TypedReading reading = decodeTypedReply(*step.read, reply);
        if (!reading.ok())
            return addError(reading.error);
        switch (*step.read) {
        case ReadCommand::Status:
            row.power = reading.words;
            break;
        case ReadCommand::Input:
            row.input = reading.words;
            break;
        case ReadCommand::Setting:
            row.setting = reading.words;
            break;
        case ReadCommand::LampHours:
            row.lampHours = reading.lampHours;
            break;
        case ReadCommand::Temperatures:
            row.temperatures = reading.temperatures;
            break;
        }
    }

    void finish(int exitCode)
    {
        m_exitCode = exitCode;
        m_done = true;
        // The port is free for others at once.
        m_session.end();
        m_changed();
    }

    const CommandLine& m_line;
    const CommandLine::Port m_given;
    Session m_session;
    std::function<void()> m_changed;
    std::vector<Step> m_steps;
    std::size_t m_step = 0;
    std::vector<ProjectorStatus> m_rows;
    std::size_t m_rowsPrinted = 0;
    bool m_waiting = false;
    bool m_answeredAll = true;
    QByteArray m_sent;
    QString m_words;
    QElapsedTimer m_clock; // started by each send
    qint64 m_lastByteNs = -1;
    QString m_out;
    bool m_done = false;
    int m_exitCode = 0;
};

HeadlessRun::HeadlessRun(const CommandLine& line, Settings& settings, QObject* parent)
    : QObject(parent), m_line(line), m_settings(settings)
{
}

HeadlessRun::~HeadlessRun() = default;

void HeadlessRun::start()
{
    if (m_line.action == CommandLine::Action::Status && m_line.format == CommandLine::Format::Csv)
        print(stdout, statusCsvHeader());
    // Without --port: the stored port, as the panel would open it.
    const QList<CommandLine::Port> ports =
        m_line.ports.isEmpty() ? QList<CommandLine::Port>{CommandLine::Port{}} : m_line.ports;
    for (const CommandLine::Port& port : ports)
        m_runs.push_back(std::make_unique<PortRun>(m_line, port, m_settings));
    // Every port is its own line: all of them work side by side.
    for (const auto& run : m_runs)
        run->start([this] { printReady(); });
}

void HeadlessRun::interrupt()
{
    for (const auto& run : m_runs)
        run->end();
    if (!std::exchange(m_finished, true))
        emit finished(kInterruptedExit);
}

void HeadlessRun::printReady()
{
    // Results go out in the order the ports were given; a port's results wait for those before.
    for (; m_printed < m_runs.size(); ++m_printed) {
        PortRun& run = *m_runs[m_printed];
        print(stdout, run.takeOutput());
        if (!run.isDone())
            return;
    }
    if (std::exchange(m_finished, true))
        return;
    // Bad usage first, then a port not opened, then a projector that did not answer.
    int exitCode = 0;
    for (const int code : {kBadUsageExit, kPortNotOpenedExit, kNotAnsweredExit}) {
        for (const auto& run : m_runs) {
            if (exitCode == 0 && run->exitCode() == code)
                exitCode = code;
        }
    }
    emit finished(exitCode);
}

} // namespace zuno
