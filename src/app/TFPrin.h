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

namespace db {
class Connection;
class Query;
} // namespace db

// The program's one window, FPrin: the search box, the group list with the principal list beside
// it, the member list with the merge log below it, and the bar with the gauge and the two
// buttons. It owns every component for the whole run: the two connections, the utility query qrx
// and the three lists. Nothing connects or opens while it is created; the show step does, just
// before the window first becomes visible.
//
// The names of the window's components are those it was first designed with; the code, the tests
// and TFPrin.ui all use them. What each one is:
//
//   FPrin, TFPrin          the main window and its class ("F" for form, "Prin" for principal)
//   Conexao                the database connection: the lists, the show step and the merge use it
//   ConAUX                 a second connection, used only to try the administrator account before
//                          Conexao opens (ConnectionSetup::TestaConexao)
//   qrx                    the utility query on Conexao: the company's name in the show step, the
//                          merge's statements and its query for the highest code
//   cds1, ds1, DBGrid1     the group list (every CPF/CNPJ value that two or more taxpayers carry,
//                          with their number), its grid model and its grid
//   cds2, ds2, DBGrid3     the principal list (the current group's taxpayers; its current row is
//                          the one that stays), its grid model and its grid: 2 and 3 cross here
//   cds3, ds3, DBGrid2     the member list (the same taxpayers with audit columns; the merge walks
//                          it), its grid model and its grid
//   NOME                   the group list's column of CPF/CNPJ values (CNT.CNPJ_CNT NOME), not a name
//   Edit1                  the search box: the group list shows the values that begin with its text
//   Label1                 the group list's title, with the number of groups after the show step
//   PB                     the merge's progress gauge
//   PMemo, Memo            the log panel, hidden until the first merge, and the log in it
//   btnProcessa, BtnSair   "Processar" (the merge) and "&Sair" (ends the program)
//   Panel1 ... Panel9      the frames that lay the window out
//
// Event handlers are named after their component and event: FormShow, Edit1Change,
// cds1AfterScroll, btnProcessaClick, BtnSairClick, ConexaoBeforeConnect.
class TFPrin : public QWidget {
    Q_OBJECT
public:
    // Reads qor.ini from the executable's folder.
    explicit TFPrin(QWidget* parent = nullptr);
    // Reads the settings through the given host, which must outlive the window.
    explicit TFPrin(const Host& host, QWidget* parent = nullptr);
    ~TFPrin() override;

    // What the merge's view of the window (MergeWindowView) drives.
    QProgressBar* PB() const;
    QFrame* PMemo() const;
    QPlainTextEdit* Memo() const;
    BitmapButton* btnProcessa() const;

    // What tests reach and the operator cannot: the two connections, the connection set-up (to
    // count its runs) and the three lists.
    db::Connection& Conexao() { return *m_conexao; }
    db::Connection& ConAUX() { return *m_conAUX; }
    ConnectionSetup& setup() { return *m_setup; }
    DuplicateBrowser& browser() { return *m_browser; }

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
