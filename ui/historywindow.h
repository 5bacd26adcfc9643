#pragma once

#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QTableView;

namespace zuno {

class HistoryFilter;
class HistoryModel;
class Session;

// The session's exchanges at hand, one row each: when, what was sent and received (as the echo
// lines render it and in hex), the words a reply decoded to, the reply time and the port. The
// filter box narrows the rows to those holding its text in any column; Copy (Ctrl+C) puts the
// selected rows on the clipboard and Save writes every exchange held to a file, both in the
// session log's format. While the window is closed it does no work at all: it catches up when
// shown.
class HistoryWindow : public QWidget
{
    Q_OBJECT
  public:
    // The window of `panel`'s session, titled after the panel and closed when the session ends.
    HistoryWindow(Session& session, QWidget* panel);
    ~HistoryWindow() override;

    // Gives `panel` its history window: `action` (Ctrl+H, also on keyboard layouts where the H
    // key gives another letter) opens it, or brings it to the front.
    static void attach(QWidget* panel, QAction* action, Session& session);

    void copySelection();
    // Asks for a file and writes every exchange held to it; a failure is said in a box.
    void save();

    // Tests answer the file dialog here: the hook returns the path chosen (empty: cancelled).
    // An empty hook restores the dialog.
    static void setSavePathForTesting(std::function<QString()> hook);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void showCount();

    Session& m_session;
    HistoryModel* m_model;
    HistoryFilter* m_filtered;
    QLineEdit* m_filter;
    QTableView* m_table;
    QLabel* m_count;
    bool m_followEnd = false; // the view was at its end when rows came
};

} // namespace zuno
