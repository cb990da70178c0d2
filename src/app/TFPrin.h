#pragma once

#include <QWidget>
#include <memory>

class QFrame;
class QPlainTextEdit;
class QProgressBar;

namespace Ui {
class TFPrin;
}

namespace uc {

class BitmapButton;
class ConnectionSetup;
class DuplicateBrowser;
class GridModel;
class Host;
class List;

namespace db {
class Connection;
class Query;
} // namespace db

// The program's one window, FPrin: the search box, the group list with the principal list beside
// it, the member list with the merge log below it, and the bar with the gauge and the two
// buttons. It owns every component for the whole run: the two connections, the utility query qrx
// and the three lists. Nothing connects or opens while it is created; the show step does, just
// before the window first becomes visible.
class TFPrin : public QWidget {
    Q_OBJECT
public:
    // Reads qor.ini from the executable's folder.
    explicit TFPrin(QWidget* parent = nullptr);
    // Reads the settings through the given host, which must outlive the window.
    explicit TFPrin(const Host& host, QWidget* parent = nullptr);
    ~TFPrin() override;

    // What the merge run and the connection set-up reach.
    db::Connection& Conexao() { return *m_conexao; }
    db::Connection& ConAUX() { return *m_conAUX; }
    ConnectionSetup& setup() { return *m_setup; }
    db::Query& qrx() { return *m_qrx; }
    DuplicateBrowser& browser() { return *m_browser; }
    List& cds1();
    List& cds2();
    List& cds3();
    QProgressBar* PB() const;
    QFrame* PMemo() const;
    QPlainTextEdit* Memo() const;
    BitmapButton* btnProcessa() const;

    // Event handlers, each run through the default error box (see EventHandlers.h).
    // The show step: the installation's name in the caption, then the three lists opened.
    void FormShow();
    void BtnSairClick();
    void btnProcessaClick();
    void Edit1Change();

    // The first showing runs the show step, then centres the window in the screen's work area,
    // and only then makes it visible (unless the program was told to end meanwhile).
    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TFPrin(std::unique_ptr<Host> ownHost, const Host* host, QWidget* parent);
    void setUpFonts();
    void setUpGrids();
    void setUpGauge();
    void anchorButtonsRight();
    void placeButtons();
    void centreOnScreen();

    std::unique_ptr<Host> m_ownHost;
    const Host& m_host;
    std::unique_ptr<Ui::TFPrin> ui;
    std::unique_ptr<db::Connection> m_conexao;
    std::unique_ptr<db::Connection> m_conAUX;
    std::unique_ptr<ConnectionSetup> m_setup;
    std::unique_ptr<db::Query> m_qrx;
    std::unique_ptr<DuplicateBrowser> m_browser;
    std::unique_ptr<GridModel> m_ds1;
    std::unique_ptr<GridModel> m_ds2;
    std::unique_ptr<GridModel> m_ds3;
    // Distance of each button's right edge from the bar's right edge, as designed.
    int m_processaRightGap = 0;
    int m_sairRightGap = 0;
    bool m_shownOnce = false;
};

} // namespace uc
