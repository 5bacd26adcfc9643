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
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

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

// The history as rows. Attached, it follows every new exchange; detached (the window closed) it
// listens to nothing, and attach() catches up at once.
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

    explicit HistoryModel(ExchangeHistory& history, QObject* parent)
        : QAbstractTableModel(parent), m_history(history)
    {
    }

    // Shown again (or mapped again by the window system): once, however often it is told.
    void attach()
    {
        detach();
        beginResetModel();
        m_rows = m_history.size();
        endResetModel();
        m_connections = {
            connect(&m_history, &ExchangeHistory::appended, this, &HistoryModel::appended),
            connect(&m_history, &ExchangeHistory::lastChanged, this, [this] {
                emit dataChanged(index(m_rows - 1, 0), index(m_rows - 1, ColumnCount - 1));
            })};
    }
    void detach()
    {
        for (const QMetaObject::Connection& connection : m_connections)
            disconnect(connection);
    }

    const ExchangeRecord& record(int row) const { return m_history.at(row); }

    // Whether the row holds `needle` in any column, or in the bytes as typed ("CR3") or in hex
    // without blanks ("435233"); case is ignored.
    bool matches(int row, const QString& needle) const
    {
        const ExchangeRecord& r = m_history.at(row);
        const auto has = [&needle](const QString& text) {
            return text.contains(needle, Qt::CaseInsensitive);
        };
        for (int column = 0; column < ColumnCount; ++column) {
            if (has(index(row, column).data().toString()))
                return true;
        }
        for (const QByteArray* bytes : {&r.sent, &r.received}) {
            if (has(QString::fromLatin1(*bytes)) || has(QString::fromLatin1(bytes->toHex())))
                return true;
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

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_history.size())
            return {};
        const ExchangeRecord& r = m_history.at(index.row());
        // A cell too narrow for its text shows all of it as a tooltip; the time with its date.
        if (role == Qt::ToolTipRole && index.column() == Time)
            return QDateTime::fromMSecsSinceEpoch(r.sentAt).toString(u"yyyy-MM-dd HH:mm:ss.zzz");
        if (role == Qt::ToolTipRole)
            return data(index, Qt::DisplayRole);
        if (role != Qt::DisplayRole)
            return {};
        switch (Column(index.column())) {
        case Number:
            return r.number;
        case Time:
            return QDateTime::fromMSecsSinceEpoch(r.sentAt).toString(u"HH:mm:ss.zzz");
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
            return replyText(r);
        case Port:
            return r.port;
        case ColumnCount:
            break;
        }
        return {};
    }

  private:
    static QString replyText(const ExchangeRecord& r)
    {
        if (!r.written)
            return QStringLiteral("port closed");
        if (r.replyMicros >= 0)
            return QStringLiteral("%1 ms").arg(double(r.replyMicros) / 1000.0, 0, 'f', 1);
        return r.noReplyAt != 0 ? QStringLiteral("no reply") : QString();
    }

    void appended(qsizetype dropped)
    {
        if (dropped > 0) {
            beginRemoveRows({}, 0, int(dropped) - 1);
            m_rows -= dropped;
            endRemoveRows();
        }
        beginInsertRows({}, int(m_rows), int(m_rows));
        ++m_rows;
        endInsertRows();
    }

    ExchangeHistory& m_history;
    qsizetype m_rows = 0;
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
        invalidateFilter();
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
    auto* copyKey = new QAction(this);
    copyKey->setShortcut(QKeySequence::Copy);
    copyKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copyKey, &QAction::triggered, this, &HistoryWindow::copySelection);
    m_table->addAction(copyKey);
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
    for (int row : rows)
        text += m_model->record(row).logLines();
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
