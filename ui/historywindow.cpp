#include "ui/historywindow.h"

#include "core/echorendering.h"
#include "session/session.h"
#include "ui/scancodeshortcut.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <set>

namespace zuno {

namespace {
#if defined(Q_OS_LINUX)
// The H key's native scan code under xcb and wayland alike (its X keycode).
constexpr quint32 kKeyHScanCode = 43;
#endif

std::function<QString()>& savePathHook()
{
    static std::function<QString()> hook;
    return hook;
}

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}
} // namespace

// Local time of day, "HH:mm:ss.zzz". Asking the time zone costs microseconds a time, too much
// for filtering thousands of rows at each key: its offset is asked once per quarter hour, the
// finest step at which any zone's offset changes.
QString timeOfDay(qint64 msecsSinceEpoch)
{
    constexpr qint64 kQuarterMs = 15 * 60 * 1000;
    constexpr qint64 kDayMs = 24 * 60 * 60 * 1000;
    static qint64 quarter = -1;
    static qint64 offsetMs = 0;
    if (msecsSinceEpoch / kQuarterMs != quarter) {
        quarter = msecsSinceEpoch / kQuarterMs;
        offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).offsetFromUtc()) * 1000;
    }
    const qint64 t = ((msecsSinceEpoch + offsetMs) % kDayMs + kDayMs) % kDayMs;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", int(t / 3600000), int(t / 60000 % 60),
                  int(t / 1000 % 60), int(t % 1000));
    return QString::fromLatin1(text);
}

// The history as rows. Attached, it follows the history a moment after each change, with all
// changes of that moment at once, so that the exchange's own work never waits for the view;
// detached (the window closed) it listens to nothing, and attach() catches up at once.
class HistoryModel : public QAbstractTableModel
{
  public:
    enum Column
    {
        Number,
        Time,
        Sent,
        SentHex,
        Received,
        ReceivedHex,
        Words,
        Reply,
        Port,
        ColumnCount
    };
    static constexpr int kUpdateMs = 50;

    explicit HistoryModel(ExchangeHistory& history, QObject* parent)
        : QAbstractTableModel(parent), m_history(history)
    {
        m_update.setSingleShot(true);
        m_update.setInterval(kUpdateMs);
        connect(&m_update, &QTimer::timeout, this, &HistoryModel::catchUp);
    }

    // Shown again (or mapped again by the window system): once, however often it is told.
    void attach()
    {
        detach();
        beginResetModel();
        m_first = m_history.size() > 0 ? m_history.at(0).number : 0;
        m_rows = m_history.size();
        endResetModel();
        const auto later = [this] {
            if (!m_update.isActive())
                m_update.start();
        };
        m_connections = {connect(&m_history, &ExchangeHistory::appended, this, later),
                         connect(&m_history, &ExchangeHistory::lastChanged, this, later)};
    }
    void detach()
    {
        for (const QMetaObject::Connection& connection : m_connections)
            disconnect(connection);
        m_update.stop();
    }

    // The exchange a row shows; null while the history has dropped it and the rows have not
    // caught up yet.
    const ExchangeRecord* record(int row) const
    {
        if (m_history.size() == 0)
            return nullptr;
        const qint64 index = m_first + row - m_history.at(0).number;
        return index >= 0 && index < m_history.size() ? &m_history.at(index) : nullptr;
    }

    // Whether the row holds `needle` in any column, or in the bytes as typed ("CR3") or in hex
    // without blanks ("435233"); case is ignored.
    bool matches(int row, const QString& needle) const
    {
        const ExchangeRecord* r = record(row);
        if (!r)
            return false;
        for (int column = 0; column < ColumnCount; ++column) {
            if (text(*r, Column(column)).contains(needle, Qt::CaseInsensitive))
                return true;
        }
        for (const QByteArray* bytes : {&r->sent, &r->received}) {
            for (const QByteArray& form : {*bytes, bytes->toHex()}) {
                if (QString::fromLatin1(form).contains(needle, Qt::CaseInsensitive))
                    return true;
            }
        }
        return false;
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows);
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : ColumnCount;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char* const titles[] = {"No.",        "Time",     "Sent",
                                             "Sent (hex)", "Received", "Received (hex)",
                                             "Words",      "Reply",    "Port"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return QString::fromLatin1(titles[section]);
        return {};
    }

    // A cell too narrow for its text shows all of it as a tooltip; the time with its date.
    QVariant data(const QModelIndex& index, int role) const override
    {
        const ExchangeRecord* r = index.isValid() ? record(index.row()) : nullptr;
        if (!r || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        if (role == Qt::ToolTipRole && index.column() == Time)
            return QDateTime::fromMSecsSinceEpoch(r->sentAt).toString(u"yyyy-MM-dd HH:mm:ss.zzz");
        return text(*r, Column(index.column()));
    }

  private:
    static QString text(const ExchangeRecord& r, Column column)
    {
        switch (column) {
        case Number:
            return QString::number(r.number);
        case Time:
            return timeOfDay(r.sentAt);
        case Sent:
            return renderEcho(r.sent).text.trimmed();
        case SentHex:
            return hex(r.sent);
        case Received:
            return renderEcho(r.received).text.trimmed();
        case ReceivedHex:
            return hex(r.received);
        case Words:
            return r.words.trimmed();
        case Reply:
            if (!r.written)
                return QStringLiteral("port closed");
            if (r.replyMicros >= 0)
                return QStringLiteral("%1 ms%2")
                    .arg(double(r.replyMicros) / 1000.0, 0, 'f', 1)
                    .arg(r.noReplyAt != 0 ? QStringLiteral(" (late)") : QString());
            return r.noReplyAt != 0 ? QStringLiteral("no reply") : QString();
        case Port:
            return r.port;
        case ColumnCount:
            break;
        }
        return {};
    }

    // The rows the history has dropped go, the newest row is drawn again, the new ones come.
    void catchUp()
    {
        const qint64 first = m_history.size() > 0 ? m_history.at(0).number : m_first + m_rows;
        const qsizetype gone = qsizetype(std::clamp<qint64>(first - m_first, 0, m_rows));
        if (gone > 0) {
            beginRemoveRows({}, 0, int(gone) - 1);
            m_rows -= gone;
            m_first = first;
            endRemoveRows();
        }
        m_first = first;
        if (m_rows > 0)
            emit dataChanged(index(int(m_rows) - 1, 0), index(int(m_rows) - 1, ColumnCount - 1));
        if (m_history.size() > m_rows) {
            beginInsertRows({}, int(m_rows), int(m_history.size()) - 1);
            m_rows = m_history.size();
            endInsertRows();
        }
    }

    ExchangeHistory& m_history;
    qint64 m_first = 0; // the number of the exchange in the first row
    qsizetype m_rows = 0;
    QTimer m_update;
    std::array<QMetaObject::Connection, 2> m_connections;
};

// The rows that hold the filter box's text.
class HistoryFilter : public QSortFilterProxyModel
{
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setNeedle(const QString& needle)
    {
        m_needle = needle;
        // Filtering anew at once: removing each run of rows that no longer match one by one
        // would cost the view a pass over every row for each run.
        invalidate();
    }

  protected:
    bool filterAcceptsRow(int row, const QModelIndex&) const override
    {
        return m_needle.isEmpty() ||
               static_cast<HistoryModel*>(sourceModel())->matches(row, m_needle);
    }

  private:
    QString m_needle;
};

HistoryWindow::HistoryWindow(Session& session, QWidget* panel)
    : QWidget(panel, Qt::Window), m_session(session),
      m_model(new HistoryModel(session.history(), this)), m_filtered(new HistoryFilter(this)),
      m_filter(new QLineEdit), m_table(new QTableView), m_count(new QLabel)
{
    setObjectName(QStringLiteral("historyWindow"));
    const auto title = [this](const QString& panelTitle) {
        setWindowTitle(QStringLiteral("History \u2014 ") + panelTitle);
    };
    title(panel->windowTitle());
    connect(panel, &QWidget::windowTitleChanged, this, title);
    connect(&session, &Session::ended, this, &QWidget::close);

    m_filtered->setSourceModel(m_model);
    m_filter->setObjectName(QStringLiteral("filterBox"));
    m_filter->setPlaceholderText(QStringLiteral("Filter: text, hex or words"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_filtered->setNeedle(text);
        showCount();
    });

    m_table->setObjectName(QStringLiteral("historyTable"));
    m_table->setModel(m_filtered);
    m_table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    m_table->horizontalHeader()->setStretchLastSection(true);
    const int charWidth = m_table->fontMetrics().horizontalAdvance(u'0');
    const int widths[] = {7, 15, 22, 27, 22, 27, 22, 11};
    for (int column = 0; column < int(std::size(widths)); ++column)
        m_table->setColumnWidth(column, widths[column] * charWidth);
    // New rows follow the end while the view is at the end.
    connect(m_filtered, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* bar = m_table->verticalScrollBar();
        m_followEnd = bar->value() == bar->maximum();
    });
    connect(m_filtered, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_followEnd)
            m_table->scrollToBottom();
        showCount();
    });
    connect(m_filtered, &QAbstractItemModel::rowsRemoved, this, &HistoryWindow::showCount);

    auto* copy = new QPushButton(QStringLiteral("Copy"));
    copy->setObjectName(QStringLiteral("copyButton"));
    copy->setToolTip(QStringLiteral("Copies the selected exchanges as session log lines"));
    connect(copy, &QPushButton::clicked, this, &HistoryWindow::copySelection);
    // The view's own Ctrl+C would copy the current cell alone.
    m_table->installEventFilter(this);
    auto* saveButton = new QPushButton(QStringLiteral("Save\u2026"));
    saveButton->setObjectName(QStringLiteral("saveButton"));
    saveButton->setToolTip(
        QStringLiteral("Saves every exchange held, whatever the filter, as a session log"));
    connect(saveButton, &QPushButton::clicked, this, &HistoryWindow::save);
    m_count->setObjectName(QStringLiteral("countLabel"));
    m_count->setToolTip(QStringLiteral("The newest %1 exchanges of the session are kept")
                            .arg(session.history().capacity()));

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_filter, 1);
    bar->addWidget(m_count);
    bar->addWidget(copy);
    bar->addWidget(saveButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_table);
    resize(178 * charWidth, 30 * m_table->verticalHeader()->defaultSectionSize());
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::attach(QWidget* panel, QAction* action, Session& session)
{
    const auto open = [panel, &session] {
        auto* window = panel->findChild<HistoryWindow*>({}, Qt::FindDirectChildrenOnly);
        if (!window)
            window = new HistoryWindow(session, panel);
        window->show();
        window->raise();
        window->activateWindow();
    };
    connect(action, &QAction::triggered, panel, open);
#if defined(Q_OS_LINUX)
    auto* physical = new ScanCodeShortcut(panel, Qt::Key_H, kKeyHScanCode);
    connect(physical, &ScanCodeShortcut::activated, panel, open);
#endif
}

void HistoryWindow::copySelection()
{
    std::set<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedIndexes())
        rows.insert(m_filtered->mapToSource(index).row());
    QString text;
    for (int row : rows) {
        if (const ExchangeRecord* record = m_model->record(row))
            text += record->logLines();
    }
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void HistoryWindow::save()
{
    const QString suggested = QDir::home().filePath(
        QDateTime::currentDateTime().toString(u"'zuno-history-'yyyyMMdd-HHmmss'.log'"));
    const QString path =
        savePathHook()
            ? savePathHook()()
            : QFileDialog::getSaveFileName(this, QStringLiteral("Save history"), suggested,
                                           QStringLiteral("Session logs (*.log)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray bytes = m_session.history().logLines().toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                QStringLiteral("The history could not be saved to %1: %2")
                                    .arg(QDir::toNativeSeparators(path), file.errorString()),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("saveFailed"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void HistoryWindow::setSavePathForTesting(std::function<QString()> hook)
{
    savePathHook() = std::move(hook);
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelection();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    m_model->attach();
    m_table->scrollToBottom();
    showCount();
    QWidget::showEvent(event);
}

void HistoryWindow::hideEvent(QHideEvent* event)
{
    m_model->detach();
    QWidget::hideEvent(event);
}

void HistoryWindow::showCount()
{
    const int shown = m_filtered->rowCount();
    const int held = m_model->rowCount();
    m_count->setText(shown == held ? QStringLiteral("%1 exchanges").arg(held)
                                   : QStringLiteral("%1 of %2 exchanges").arg(shown).arg(held));
}

} // namespace zuno
