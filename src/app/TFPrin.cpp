#include "app/TFPrin.h"

#include "app/BitmapButton.h"
#include "app/EndingSignals.h"
#include "app/EventHandlers.h"
#include "app/GridBinding.h"
#include "app/GridModel.h"
#include "app/MergeWindowView.h"
#include "browser/DuplicateBrowser.h"
#include "common/Error.h"
#include "connection/ConnectionSetup.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "settings/SystemHost.h"
#include "ui_TFPrin.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QStyle>
#include <QWindow>

// The button pictures live in the GUI library; a static library's resources must be pulled in
// by hand, and only from the global namespace.
static void initPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace uc {

namespace {

// The window font is "MS Sans Serif" 8 points, 11 pixels at 96 dots per inch; the buttons use
// Tahoma 8 points bold. Pixel sizes keep every control's text inside its designed box whatever the
// screen's resolution. Windows has both faces. Elsewhere faces with their metrics serve, in this
// order. For "MS Sans Serif", a bitmap face that Debian's fontconfig refuses (and whose Wine copy
// Qt measures at one width for every character): its TrueType heir, then Liberation Sans and
// Arimo, whose widths at 11 pixels are those of "MS Sans Serif" for most characters. For Tahoma:
// Tahoma, then DejaVu Sans Condensed, whose bold has Tahoma Bold's widths at 11 pixels for most
// characters (both are narrowed faces of the Verdana kind).
#ifdef Q_OS_WIN
const QStringList windowFaces{QStringLiteral("MS Sans Serif")};
const QStringList buttonFaces{QStringLiteral("Tahoma")};
#else
const QStringList windowFaces{QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                              QStringLiteral("Arimo")};
const QStringList buttonFaces{QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed")};
#endif
constexpr int fontPixels = 11;

const QString versionSuffix = QStringLiteral("   .: versão 1.02 :.");

} // namespace

TFPrin::TFPrin(QWidget* parent) : TFPrin(std::make_unique<SystemHost>(), nullptr, parent) {}

TFPrin::TFPrin(const Host& host, QWidget* parent) : TFPrin(nullptr, &host, parent) {}

TFPrin::TFPrin(std::unique_ptr<Host> ownHost, const Host* host, QWidget* parent)
    : QWidget(parent), m_ownHost(std::move(ownHost)), m_host(host ? *host : *m_ownHost), ui(new Ui::TFPrin),
      m_conexao(std::make_unique<db::Connection>()), m_conAUX(std::make_unique<db::Connection>()),
      m_setup(std::make_unique<ConnectionSetup>(*m_conexao, *m_conAUX, m_host)),
      m_qrx(std::make_unique<db::Query>(*m_conexao)), m_browser(std::make_unique<DuplicateBrowser>(*m_conexao)) {
    initPictures();
    configuraConexoes(*m_conexao, *m_conAUX);
    // The first statement opens Conexao; the set-up fills in its parameters just before.
    m_conexao->setBeforeConnect([this] { m_setup->ConexaoBeforeConnect(); });
    ui->setupUi(this);
    // A sizeable border without system menu, minimise, maximise or close button: "&Sair" is the
    // way out.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    setUpFonts();
    setUpGauge();
    setUpGrids();
    anchorButtonsRight();

    connectHandler(ui->BtnSair, &QAbstractButton::clicked, this, [this] { BtnSairClick(); });
    connectHandler(ui->btnProcessa, &QAbstractButton::clicked, this, [this] { btnProcessaClick(); });
    connectHandler(ui->Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
}

TFPrin::~TFPrin() {
    // The grids go first, while the lists they show still exist.
    delete ui->DBGrid1;
    delete ui->DBGrid2;
    delete ui->DBGrid3;
}

QProgressBar* TFPrin::PB() const {
    return ui->PB;
}
QFrame* TFPrin::PMemo() const {
    return ui->PMemo;
}
QPlainTextEdit* TFPrin::Memo() const {
    return ui->Memo;
}
BitmapButton* TFPrin::btnProcessa() const {
    return ui->btnProcessa;
}

void TFPrin::setUpFonts() {
    QFont font;
    font.setFamilies(windowFaces);
    font.setPixelSize(fontPixels);
    setFont(font);

    QFont buttonFont;
    buttonFont.setFamilies(buttonFaces);
    buttonFont.setPixelSize(fontPixels);
    buttonFont.setBold(true);
    for (BitmapButton* button : {ui->btnProcessa, ui->BtnSair}) {
        button->setFont(buttonFont);
        QPalette palette = button->palette();
        palette.setColor(QPalette::Active, QPalette::ButtonText, Qt::black);
        palette.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::black);
        button->setPalette(palette);
    }
}

void TFPrin::setUpGauge() {
    // Black on white, the percentage written in the bar.
    QPalette palette = ui->PB->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::Window, Qt::white);
        palette.setColor(group, QPalette::Highlight, Qt::black);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::WindowText, Qt::black);
    }
    ui->PB->setPalette(palette);
}

void TFPrin::setUpGrids() {
    // ds1, ds2, ds3: note the crossing, the principal list shows in DBGrid3 and the member list
    // in DBGrid2.
    m_ds1 = std::make_unique<GridModel>(m_browser->cds1(), DuplicateBrowser::groupGridColumns());
    m_ds2 = std::make_unique<GridModel>(m_browser->cds2(), DuplicateBrowser::principalGridColumns());
    m_ds3 = std::make_unique<GridModel>(m_browser->cds3(), DuplicateBrowser::memberGridColumns());
    const std::pair<QTableView*, GridModel*> grids[] = {
        {ui->DBGrid1, m_ds1.get()}, {ui->DBGrid3, m_ds2.get()}, {ui->DBGrid2, m_ds3.get()}};
    for (const auto& [view, model] : grids) {
        auto* binding = new GridBinding(*view, *model);
        // A move in a grid reloads lists; its error cannot travel back through the view.
        binding->setErrorHandler([this](const Error& error) { showErrorBox(this, error.message()); });
    }
}

void TFPrin::anchorButtonsRight() {
    // The bar spans the window's width, so the designed width of the window is the bar's.
    const int designWidth = width();
    m_processaRightGap = designWidth - ui->btnProcessa->geometry().right() - 1;
    m_sairRightGap = designWidth - ui->BtnSair->geometry().right() - 1;
    ui->Panel1->installEventFilter(this);
}

void TFPrin::placeButtons() {
    const int barWidth = ui->Panel1->width();
    for (const auto& [button, gap] : {std::pair{ui->btnProcessa, m_processaRightGap}, {ui->BtnSair, m_sairRightGap}})
        button->move(barWidth - gap - button->width(), button->y());
}

bool TFPrin::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->Panel1 && event->type() == QEvent::Resize)
        placeButtons();
    return QWidget::eventFilter(watched, event);
}

void TFPrin::setVisible(bool visible) {
    if (visible && !m_shownOnce) {
        m_shownOnce = true;
        runHandler(this, [this] { FormShow(); });
        // A program told to end during the show step never shows its window.
        if (endingSignals::terminating())
            return;
        centreOnScreen();
    }
    QWidget::setVisible(visible);
}

void TFPrin::centreOnScreen() {
    // The whole window, its frame included as far as the platform knows the frame before the
    // window is first shown.
    create();
    QSize outer = size();
    if (const QWindow* handle = windowHandle()) {
        const QMargins frame = handle->frameMargins();
        outer += QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    }
    const QScreen* target = screen() ? screen() : QGuiApplication::primaryScreen();
    if (target)
        move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, outer, target->availableGeometry()).topLeft());
}

void TFPrin::FormShow() {
    db::Query& query = *m_qrx;
    query.close();
    query.setSql(QStringLiteral("SELECT NOME_EMP FROM GR_CAD_EMPRESA WHERE COD_EMP = 1"));
    query.open();
    setWindowTitle(query.fieldAsText(QStringLiteral("NOME_EMP")) + versionSuffix);
    query.close();

    const int groups = m_browser->openGroups();
    ui->Label1->setText(QStringLiteral("Contribuintes Repetidos (") + QString::number(groups) + QLatin1Char(')'));
    m_browser->openPrincipals();
    m_browser->openMembers();
}

void TFPrin::BtnSairClick() {
    close();
}

void TFPrin::btnProcessaClick() {
    MergeWindowView view(*this);
    MergeRun(*m_conexao, *m_qrx, *m_browser, view).run();
}

void TFPrin::Edit1Change() {
    m_browser->Edit1Change(ui->Edit1->text());
}

} // namespace uc
