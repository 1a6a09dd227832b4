#include "ui/autorun_doc.h"

#include <QSignalBlocker>
#include <QVBoxLayout>

#include "controller/forms.h"
#include "startup/startup.h"

namespace tk {

namespace {

QFont DialogFont() {
    QFont font(QString::fromUtf8(forms::kTextFace));
    font.setPixelSize(12);
    return font;
}

QWidget* Strip(QWidget* parent, const char* name, int height) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    if (height > 0) panel->setFixedHeight(height);
    return panel;
}

template <typename Widget>
void Place(Widget* widget, const forms::DialogRow& row) {
    widget->setObjectName(QString::fromLatin1(row.name));
    widget->setGeometry(row.left, row.top, row.width, row.height);
}

}  // namespace

TFrmAutorunDoc::TFrmAutorunDoc(StartDocsForm& form, QWidget* owner) : QDialog(owner), m_form(form) {
    using namespace forms;
    setObjectName(QString::fromLatin1(kStartDialogName));
    setWindowTitle(QString::fromUtf8(kStartDialogCaption));
    setFixedSize(kStartDialogWidth, kStartDialogHeight);
    setFont(DialogFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(245, 250, 254));
    setPalette(pal);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QWidget* panel3 = Strip(this, "Panel3", kStartDialogTopStrip);
    auto* label1 = new QLabel(QString::fromUtf8(kStartDialogPrompt.caption), panel3);
    Place(label1, kStartDialogPrompt);
    label1->setWordWrap(true);
    label1->setStyleSheet(QStringLiteral("color: black;"));

    QWidget* panel2 = Strip(this, "Panel2", 0);
    auto* middle = new QHBoxLayout(panel2);
    middle->setContentsMargins(5, 0, 5, 0);  // Panel4 and Panel5
    LbSelectDoc = new QListWidget(panel2);
    LbSelectDoc->setObjectName(QStringLiteral("LbSelectDoc"));
    LbSelectDoc->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LbSelectDoc->setUniformItemSizes(true);
    LbSelectDoc->setStyleSheet(QStringLiteral("QListWidget { background: white; }"));
    middle->addWidget(LbSelectDoc);

    QWidget* panel1 = Strip(this, "Panel1", kStartDialogBottomStrip);
    // The boxes and the note are as wide as their words in this face.
    CbNotQuery = new QCheckBox(QString::fromUtf8(kStartDialogNotQuery.caption), panel1);
    CbNotQuery->setObjectName(QString::fromLatin1(kStartDialogNotQuery.name));
    CbNotQuery->adjustSize();
    CbNotQuery->move(kStartDialogNotQuery.left, kStartDialogNotQuery.top);
    CbSelectAll = new QCheckBox(QString::fromUtf8(kStartDialogSelectAll.caption), panel1);
    CbSelectAll->setObjectName(QString::fromLatin1(kStartDialogSelectAll.name));
    CbSelectAll->adjustSize();
    CbSelectAll->move(kStartDialogSelectAll.left, kStartDialogSelectAll.top);
    BtnConfirm = new TPictureButton(QString::fromLatin1(kStartDialogConfirm.name), QStringLiteral("btn_confirm.png"), panel1);
    Place(BtnConfirm, kStartDialogConfirm);
    SpeedButton2 = new TPictureButton(QString::fromLatin1(kStartDialogCancel.name), QStringLiteral("btn_cancel.png"), panel1);
    Place(SpeedButton2, kStartDialogCancel);
    // The words on the pictures, for a screen reader.
    BtnConfirm->setAccessibleName(QString::fromUtf8(kStartDialogConfirm.caption));
    SpeedButton2->setAccessibleName(QString::fromUtf8(kStartDialogCancel.caption));
    auto* label3 = new QLabel(QString::fromUtf8(kStartDialogNote.caption), panel1);
    label3->setObjectName(QString::fromLatin1(kStartDialogNote.name));
    label3->setStyleSheet(QStringLiteral("color: red;"));
    label3->adjustSize();
    label3->move(kStartDialogNote.left, kStartDialogNote.top);

    layout->addWidget(panel3);
    layout->addWidget(panel2, 1);
    layout->addWidget(panel1);

    connect(BtnConfirm, &QAbstractButton::clicked, this, &TFrmAutorunDoc::BtnConfirmClick);
    connect(SpeedButton2, &QAbstractButton::clicked, this, &TFrmAutorunDoc::SpeedButton2Click);
    connect(LbSelectDoc, &QListWidget::itemDoubleClicked, this, &TFrmAutorunDoc::LbSelectDocDblClick);
    connect(LbSelectDoc, &QListWidget::itemSelectionChanged, this, &TFrmAutorunDoc::LbSelectDocClick);
    connect(CbSelectAll, &QCheckBox::toggled, this, &TFrmAutorunDoc::CbSelectAllClick);
    connect(CbNotQuery, &QCheckBox::toggled, this, &TFrmAutorunDoc::CbNotQueryClick);
}

void TFrmAutorunDoc::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TFrmAutorunDoc::FormShow() {
    m_selectingByCode = true;
    LbSelectDoc->clear();
    for (const StartDocRow& row : m_form.Rows()) {
        auto* item = new QListWidgetItem(QString::fromStdString(row.title), LbSelectDoc);
        item->setSelected(row.selected);
    }
    m_selectingByCode = false;
}

std::vector<bool> TFrmAutorunDoc::RowSelection() const {
    std::vector<bool> rows;
    for (int i = 0; i < LbSelectDoc->count(); ++i) rows.push_back(LbSelectDoc->item(i)->isSelected());
    return rows;
}

void TFrmAutorunDoc::BtnConfirmClick() {
    m_form.BtnConfirmClick(RowSelection());
    accept();
}

void TFrmAutorunDoc::SpeedButton2Click() {
    m_form.SpeedButton2Click(RowSelection());
    accept();
}

void TFrmAutorunDoc::LbSelectDocDblClick() { m_form.LbSelectDocDblClick(LbSelectDoc->currentRow()); }

void TFrmAutorunDoc::CbSelectAllClick() {
    // Checked or unchecked, the box selects every row.
    m_selectingByCode = true;
    LbSelectDoc->selectAll();
    m_selectingByCode = false;
}

void TFrmAutorunDoc::LbSelectDocClick() {
    if (m_selectingByCode) return;  // only the user's changes count
    CbSelectAll->setChecked(false);
}

void TFrmAutorunDoc::CbNotQueryClick() { m_form.NotQueryClick(CbNotQuery->isChecked()); }

void TFrmAutorunDoc::Ask() {
    {
        QSignalBlocker block(CbNotQuery);
        CbNotQuery->setChecked(m_form.DialogShown());
    }
    exec();
}

}  // namespace tk
