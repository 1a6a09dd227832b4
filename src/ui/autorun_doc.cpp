#include "ui/autorun_doc.h"

#include <QVBoxLayout>

#include "startup/startup.h"

namespace tk {

namespace {

QFont DialogFont() {
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    return font;
}

QWidget* Strip(QWidget* parent, const char* name, int height) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    if (height > 0) panel->setFixedHeight(height);
    return panel;
}

}  // namespace

TFrmAutorunDoc::TFrmAutorunDoc(HistoryCore& history, Launcher& launcher, SettingsWindow& mainWindow,
                               std::function<void(const LaunchResult&)> reportLaunch,
                               QWidget* owner)
    : QDialog(owner),
      m_history(history),
      m_launcher(launcher),
      m_mainWindow(mainWindow),
      m_reportLaunch(std::move(reportLaunch)) {
    setObjectName(QStringLiteral("FrmAutorunDoc"));
    setWindowTitle(QStringLiteral("文档自动启动"));
    setFixedSize(423, 284);
    setFont(DialogFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(245, 250, 254));
    setPalette(pal);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QWidget* panel3 = Strip(this, "Panel3", 33);
    auto* label1 = new QLabel(
        QStringLiteral("请选择一个或多个(按下『Ctrl』或『Shift』，鼠标选择)你希望打开的历史文档，"
                       "单击按钮『确定』，软件将自动打开这些文档。 "),
        panel3);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setWordWrap(true);
    label1->setGeometry(10, 5, 366, 24);
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

    QWidget* panel1 = Strip(this, "Panel1", 46);
    CbNotQuery = new QCheckBox(QStringLiteral("不再跳出此提示框"), panel1);
    CbNotQuery->setObjectName(QStringLiteral("CbNotQuery"));
    CbNotQuery->adjustSize();
    CbNotQuery->move(54, 7);
    CbSelectAll = new QCheckBox(QStringLiteral("选择所有"), panel1);
    CbSelectAll->setObjectName(QStringLiteral("CbSelectAll"));
    CbSelectAll->adjustSize();
    CbSelectAll->move(184, 7);
    BtnConfirm = new TPictureButton(QStringLiteral("BtnConfirm"), QStringLiteral("btn_confirm.png"), panel1);
    BtnConfirm->setGeometry(264, 0, 57, 25);
    SpeedButton2 = new TPictureButton(QStringLiteral("SpeedButton2"), QStringLiteral("btn_cancel.png"), panel1);
    // The words on the pictures, for a screen reader.
    BtnConfirm->setAccessibleName(QStringLiteral("确定"));
    SpeedButton2->setAccessibleName(QStringLiteral("取消"));
    SpeedButton2->setGeometry(322, 0, 58, 26);
    auto* label3 = new QLabel(QStringLiteral("可以在『设置』中重新设置启动时跳出此提示框。"), panel1);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setStyleSheet(QStringLiteral("color: red;"));
    label3->adjustSize();
    label3->move(8, 28);

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
    for (const StartDocRow& row : StartDocRows(m_history)) {
        auto* item = new QListWidgetItem(QString::fromStdString(row.title), LbSelectDoc);
        item->setSelected(row.selected);
    }
    m_selectingByCode = false;
}

void TFrmAutorunDoc::StoreStartSelection(bool clear) {
    std::vector<bool> rows;
    for (int i = 0; i < LbSelectDoc->count(); ++i) rows.push_back(LbSelectDoc->item(i)->isSelected());
    tk::StoreStartSelection(m_history, rows, clear);
}

void TFrmAutorunDoc::BtnConfirmClick() {
    StoreStartSelection(false);
    accept();
}

void TFrmAutorunDoc::SpeedButton2Click() {
    StoreStartSelection(true);
    accept();
}

void TFrmAutorunDoc::LbSelectDocDblClick() {
    const int row = LbSelectDoc->currentRow();
    const auto& docs = m_history.DocHistory();
    if (row < 0 || row >= static_cast<int>(docs.size())) return;
    const TMyDoc& doc = docs[static_cast<std::size_t>(row)];
    const LaunchResult result = m_launcher.OpenStoredDoc(doc.Location, doc.DocType);
    if (m_reportLaunch) m_reportLaunch(result);
}

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

void TFrmAutorunDoc::CbNotQueryClick() {
    m_mainWindow.SetBoxChecked(SettingsBox::QueryAutoRunDoc, CbNotQuery->isChecked());
}

void TFrmAutorunDoc::Ask(bool autoRunDocs) {
    CbNotQuery->setChecked(autoRunDocs);
    exec();
}

}  // namespace tk
