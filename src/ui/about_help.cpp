#include "ui/about_help.h"

#include "controller/forms.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/artwork.h"

namespace tk {

namespace {

const QColor kPanel(245, 254, 250);
const QColor kBackground(245, 250, 254);

QLabel* Piece(const char* name, const char* picture, QWidget* parent, int w, int h) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(Artwork(QString::fromLatin1(picture), parent->devicePixelRatioF()));
    label->setScaledContents(true);
    if (w > 0) label->setFixedWidth(w);
    if (h > 0) label->setFixedHeight(h);
    return label;
}

struct StripPieces {
    const char* name;
    const char* picture;
};

QWidget* Strip(const char* name, QWidget* parent, int height, StripPieces left, StripPieces center,
               StripPieces right) {
    auto* strip = new QWidget(parent);
    strip->setObjectName(QString::fromLatin1(name));
    strip->setFixedHeight(height);
    QPalette pal = strip->palette();
    pal.setColor(QPalette::Window, kPanel);
    strip->setPalette(pal);
    strip->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(Piece(left.name, left.picture, strip, 14, height));
    row->addWidget(Piece(center.name, center.picture, strip, 0, height), 1);
    row->addWidget(Piece(right.name, right.picture, strip, 14, height));
    return strip;
}

}  // namespace

TFramedWindow::TFramedWindow(const QString& objectName, const QString& caption, QSize size,
                             QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setFixedSize(size);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(Strip("PnlTop", this, 15, {"Image4", "dlg_top_left.png"},
                          {"ImgCenter", "dlg_top_center.png"}, {"ImgTopRight", "dlg_top_right.png"}),
                    0, 0, 1, 3);
    grid->addWidget(Piece("ImgLeft", "dlg_left.png", this, 10, 0), 1, 0);
    m_content = new QWidget(this);
    grid->addWidget(m_content, 1, 1);
    grid->addWidget(Piece("ImgRight", "dlg_right.png", this, 14, 0), 1, 2);
    grid->addWidget(Strip("PnlBottom", this, 11, {"ImgBottomLeft2", "dlg_bottom_left.png"},
                          {"ImgBottomLeft", "dlg_bottom_center.png"}, {"bot", "dlg_bottom_right.png"}),
                    2, 0, 1, 3);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
}

TFrmVersion::TFrmVersion(std::function<void()> openSite)
    : TFramedWindow(QStringLiteral("FrmVersion"), QString::fromUtf8(forms::kAboutCaption), QSize(388, 281), nullptr),
      m_openSite(std::move(openSite)) {
    QFont font(QString::fromUtf8(forms::kAboutFace));
    font.setPixelSize(21);
    setFont(font);
    auto* image1 = new QLabel(Content());
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setPixmap(Artwork(QStringLiteral("about.jpg"), devicePixelRatioF()));
    image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* layout = new QVBoxLayout(Content());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(image1);

    // The link area lies over the picture's web-address line; only it opens the site, and
    // its underline shows it as a link.
    auto* label1 = new TClickImage(this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setAccessibleName(QStringLiteral("访问网站"));
    label1->setText(QString(20, QLatin1Char('_')));
    QFont linkFont = font;
    linkFont.setUnderline(true);
    label1->setFont(linkFont);
    // The line is drawn as a border too: whichever face stands in for 黑体, the link shows.
    label1->setStyleSheet(QStringLiteral(
        "color: #0000ff; background: transparent; border-bottom: 1px solid #0000ff;"));
    label1->setGeometry(130, 124, 210, 21);
    label1->setCursor(Qt::PointingHandCursor);
    connect(label1, &TClickImage::Clicked, this, &TFrmVersion::Label1Click);
    auto* label5 = new QLabel(this);
    label5->setObjectName(QStringLiteral("Label5"));
    label5->move(104, 120);
    auto* close = new TPictureButton(QStringLiteral("SpeedButton1"), QStringLiteral("btn_close.png"), this);
    close->setAccessibleName(QString::fromUtf8(forms::kCloseCaption));
    close->setGeometry(252, 205, 57, 26);
    connect(close, &QAbstractButton::clicked, this, &TFrmVersion::SpeedButton1Click);
}

void TFrmVersion::Label1Click() {
    if (m_openSite) m_openSite();
}

TFrmHelp::TFrmHelp(QWidget* owner)
    : TFramedWindow(QStringLiteral("FrmHelp"), QString::fromUtf8(forms::kHelpCaption),
                    QSize(537, 587), owner) {
    auto* panel1 = new QWidget(Content());
    panel1->setObjectName(QStringLiteral("Panel1"));
    auto* outer = new QVBoxLayout(Content());
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel1);
    auto* layout = new QVBoxLayout(panel1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* scrollBox1 = new QScrollArea(panel1);
    scrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    scrollBox1->setFrameShape(QFrame::NoFrame);
    auto* image1 = new QLabel;
    image1->setObjectName(QStringLiteral("Image1"));
    const QPixmap help = Artwork(QStringLiteral("help.jpg"), devicePixelRatioF());
    image1->setPixmap(help);
    image1->setFixedSize(500, 480);
    scrollBox1->setWidget(image1);
    auto* panel2 = new QWidget(panel1);
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel2->setFixedHeight(41);
    auto* close = new TPictureButton(QStringLiteral("SpeedButton1"), QStringLiteral("btn_close.png"), panel2);
    close->setAccessibleName(QString::fromUtf8(forms::kCloseCaption));
    close->setGeometry(348, 2, 57, 26);
    connect(close, &QAbstractButton::clicked, this, &TFrmHelp::SpeedButton1Click);
    layout->addWidget(scrollBox1, 1);
    layout->addWidget(panel2);
}

}  // namespace tk
