#include "desktop/gui/preferences_dialog.h"

#include "desktop/gui/gui_services.h"
#include "pixmill/user_interface.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace pixmill {

namespace {
QSpinBox* MakeSpin(QWidget* parent, IntLimits limits, int value, const char* name) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(limits.minimum, limits.maximum);
    spin->setValue(value);
    spin->setObjectName(QString::fromLatin1(name));
    return spin;
}
} // namespace

PreferencesDialog::PreferencesDialog(const AppSettings& settings, GuiServices& services,
                                     QWidget* parent)
    : QDialog(parent), model(settings), services(services) {
    setWindowTitle(tr("Preferences"));
    setObjectName(QStringLiteral("preferencesDialog"));
    const AppSettings& v = model.Values();
    pages = new QTabWidget(this);

    // "General"
    auto* general = new QWidget(pages);
    auto* sheet = new QGroupBox(tr("Contact Sheet Image Preview"), general);
    sheetWidth = MakeSpin(sheet, PreferencesModel::kSheetSize, v.image.sheetWidth, "sheetWidth");
    sheetHeight = MakeSpin(sheet, PreferencesModel::kSheetSize, v.image.sheetHeight, "sheetHeight");
    auto* sheetForm = new QFormLayout(sheet);
    sheetForm->addRow(tr("&Width :"), sheetWidth);
    sheetForm->addRow(tr("&Height :"), sheetHeight);
    progressive = new QCheckBox(tr("&Progressive View"), general);
    progressive->setObjectName(QStringLiteral("progressiveView"));
    progressive->setChecked(v.image.progressiveView != 0);
    zoomToWindow = new QCheckBox(tr("&Zoom to window: fit large pictures when opening"), general);
    zoomToWindow->setObjectName(QStringLiteral("zoomToWindow"));
    zoomToWindow->setChecked(v.image.zoomToWindow != 0);
    turnUpright = new QCheckBox(tr("&Turn photographs upright on opening"), general);
    turnUpright->setObjectName(QStringLiteral("turnUpright"));
    turnUpright->setToolTip(tr("Turn and mirror pictures as their EXIF orientation says; "
                               "off: show the pixels as the file stores them"));
    turnUpright->setChecked(v.image.keepStoredOrientation == 0);
    saveAsSrgb = new QCheckBox(tr("&Save pictures in sRGB, converted from their colour profile"),
                               general);
    saveAsSrgb->setObjectName(QStringLiteral("saveAsSrgb"));
    saveAsSrgb->setToolTip(tr("For the web: every browser shows sRGB pixels as meant; "
                              "off: a picture keeps its own profile (Adobe RGB, ...)"));
    saveAsSrgb->setChecked(v.image.saveAsSrgb != 0);
    previewDelay =
        MakeSpin(general, PreferencesModel::kPreviewDelay, v.image.previewDelay, "previewDelay");
    previewDelay->setSuffix(tr(" ms"));
    auto* delayForm = new QFormLayout;
    delayForm->addRow(tr("Preview &Delay :"), previewDelay);
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(sheet);
    generalLayout->addWidget(progressive);
    generalLayout->addWidget(zoomToWindow);
    generalLayout->addWidget(turnUpright);
    generalLayout->addWidget(saveAsSrgb);
    generalLayout->addLayout(delayForm);
    generalLayout->addStretch();
    pages->addTab(general, tr("General"));

    // "HTML Options"
    auto* html = new QWidget(pages);
    fontText = new QLabel(QString::fromStdString(model.FontText()), html);
    fontText->setObjectName(QStringLiteral("fontText"));
    auto* fontButton = new QPushButton(tr("Select &Font"), html);
    connect(fontButton, &QPushButton::clicked, this, [this] {
        bool ok = false;
        QFont initial(QString::fromLatin1(model.Values().html.font.faceName));
        const QFont font = QFontDialog::getFont(&ok, initial, this);
        if (ok) {
            model.SetFont(font.family().toStdString(), font.pointSize());
            fontText->setText(QString::fromStdString(model.FontText()));
        }
    });
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(fontText, 1);
    fontRow->addWidget(fontButton);
    directory = new QLineEdit(QString::fromLocal8Bit(v.html.workingDirectory), html);
    directory->setObjectName(QStringLiteral("workingDirectory"));
    auto* compound = new QGroupBox(tr("Default compound image"), html);
    compoundWidth =
        MakeSpin(compound, PreferencesModel::kCompoundSize, v.html.compoundWidth, "compoundWidth");
    compoundHeight = MakeSpin(compound, PreferencesModel::kCompoundSize, v.html.compoundHeight,
                              "compoundHeight");
    background = new QPushButton(compound);
    background->setObjectName(QStringLiteral("background"));
    background->setMinimumWidth(60);
    connect(background, &QPushButton::clicked, this, [this] {
        const uint32_t bgr = model.Values().html.background;
        const QColor chosen =
            QColorDialog::getColor(QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF), this);
        if (chosen.isValid()) {
            model.Values().html.background = static_cast<uint32_t>(chosen.red()) |
                                             static_cast<uint32_t>(chosen.green()) << 8 |
                                             static_cast<uint32_t>(chosen.blue()) << 16;
            ShowColour();
        }
    });
    ShowColour();
    auto* compoundForm = new QFormLayout(compound);
    compoundForm->addRow(tr("&Width :"), compoundWidth);
    compoundForm->addRow(tr("&Height :"), compoundHeight);
    compoundForm->addRow(tr("&Background :"), background);
    auto* display = new QGroupBox(tr("Display"), html);
    useGamma = new QCheckBox(tr("Use &Gamma Correction"), display);
    useGamma->setObjectName(QStringLiteral("useGamma"));
    useGamma->setChecked(v.gamma.enabled != 0);
    gamma = new QLineEdit(QString::number(v.gamma.gamma, 'g', 4), display);
    gamma->setObjectName(QStringLiteral("gamma"));
    // Digits with a point or a comma, whatever the locale: a locale-bound
    // validator refuses every key on the "2.2" shown where the decimal
    // separator is a comma.
    gamma->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,2}([.,]\\d{0,4})?")), gamma));
    gamma->setMinimumWidth(gamma->fontMetrics().horizontalAdvance(QStringLiteral("00.0000")) + 12);
    auto* displayForm = new QFormLayout(display);
    displayForm->addRow(useGamma);
    displayForm->addRow(tr("&Monitor Gamma :"), gamma);
    auto* htmlForm = new QFormLayout;
    htmlForm->addRow(tr("Working &directory :"), directory);
    auto* htmlLayout = new QVBoxLayout(html);
    htmlLayout->addLayout(fontRow);
    htmlLayout->addLayout(htmlForm);
    htmlLayout->addWidget(compound);
    htmlLayout->addWidget(display);
    htmlLayout->addStretch();
    pages->addTab(html, tr("HTML Options"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addWidget(buttons);
}

void PreferencesDialog::ShowColour() {
    const uint32_t bgr = model.Values().html.background;
    const QColor colour(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    background->setStyleSheet(QStringLiteral("background-color: %1").arg(colour.name()));
}

void PreferencesDialog::ToModel() {
    AppSettings& v = model.Values();
    v.image.sheetWidth = sheetWidth->value();
    v.image.sheetHeight = sheetHeight->value();
    v.image.progressiveView = progressive->isChecked() ? 1 : 0;
    v.image.zoomToWindow = zoomToWindow->isChecked() ? 1 : 0;
    v.image.keepStoredOrientation = turnUpright->isChecked() ? 0 : 1;
    v.image.saveAsSrgb = saveAsSrgb->isChecked() ? 1 : 0;
    v.image.previewDelay = previewDelay->value();
    v.html.compoundWidth = compoundWidth->value();
    v.html.compoundHeight = compoundHeight->value();
    model.SetHtmlWorkingDirectory(directory->text().trimmed().toStdString());
    v.gamma.enabled = useGamma->isChecked() ? 1 : 0;
    model.SetGamma(QString(gamma->text()).replace(',', '.').toDouble());
    gamma->setText(QString::number(v.gamma.gamma, 'g', 4));
}

void PreferencesDialog::done(int code) {
    if (code == QDialog::Accepted) {
        ToModel();
        const std::string message = model.Validate();
        if (!message.empty()) {
            pages->setCurrentIndex(1);
            services.ShowMessage("Pixmill", message.c_str(), MessageIcon::Warning);
            directory->setFocus();
            return;
        }
    }
    QDialog::done(code);
}

} // namespace pixmill
