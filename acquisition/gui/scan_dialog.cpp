#include "acquisition/gui/scan_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace pixmill {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString NumberText(double value) {
    return QString::number(value, 'g', 10);
}

} // namespace

ScanDialog::ScanDialog(SaneClient& client, std::vector<SaneDeviceInfo> devices, QWidget* parent)
    : QDialog(parent), client(client), devices(std::move(devices)) {
    setObjectName(QStringLiteral("scanDialog"));
    setWindowTitle(tr("Scan"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QFormLayout;
    deviceBox = new QComboBox(this);
    deviceBox->setObjectName(QStringLiteral("scanner"));
    for (const SaneDeviceInfo& info : this->devices) {
        deviceBox->addItem(Text(info.Label()));
    }
    top->addRow(tr("&Scanner:"), deviceBox);
    layout->addLayout(top);
    optionsHolder = new QVBoxLayout;
    layout->addLayout(optionsHolder);
    message = new QLabel(this);
    message->setObjectName(QStringLiteral("message"));
    message->setWordWrap(true);
    layout->addWidget(message);
    layout->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    scanButton = buttons->addButton(tr("Scan"), QDialogButtonBox::AcceptRole);
    scanButton->setObjectName(QStringLiteral("scanButton"));
    scanButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(deviceBox, &QComboBox::currentIndexChanged, this, &ScanDialog::OpenDevice);
    OpenDevice(deviceBox->currentIndex());
    setMinimumWidth(380);
}

ScanDialog::~ScanDialog() = default;

QWidget* ScanDialog::OptionField(const QString& name) const {
    return options != nullptr ? options->findChild<QWidget*>(QStringLiteral("option_") + name)
                              : nullptr;
}

void ScanDialog::OpenDevice(int index) {
    device.reset(); // one device open at a time
    message->clear();
    if (index >= 0 && index < static_cast<int>(devices.size())) {
        try {
            device = client.Open(devices[static_cast<size_t>(index)].name);
        } catch (CQorelError& error) {
            message->setText(QString::fromUtf8(error.Message()));
        }
    }
    scanButton->setEnabled(device != nullptr);
    BuildOptions();
}

void ScanDialog::BuildOptions() {
    // The field that had the focus gets it back in the new set.
    QString focused;
    if (options != nullptr && options->isAncestorOf(focusWidget())) {
        for (QWidget* w = focusWidget(); w != nullptr && w != options; w = w->parentWidget()) {
            if (w->objectName().startsWith(QStringLiteral("option_"))) {
                focused = w->objectName();
            }
        }
    }
    if (options != nullptr) {
        options->hide();
        options->deleteLater(); // a field's own signal may have led here
    }
    options = new QWidget(this);
    auto* form = new QFormLayout(options);
    form->setContentsMargins(0, 0, 0, 0);
    if (device != nullptr) {
        for (const SaneOption& option : ScanDialogOptions(device->Options())) {
            QWidget* field = nullptr;
            try {
                field = MakeField(option);
            } catch (CQorelError& error) {
                message->setText(QString::fromUtf8(error.Message()));
                continue; // an option the device cannot report is left out
            }
            field->setObjectName(QStringLiteral("option_") + Text(option.name));
            field->setToolTip(Text(option.description));
            form->addRow(Text(option.title) + ':', field);
        }
    }
    optionsHolder->addWidget(options);
    if (QWidget* field = options->findChild<QWidget*>(focused); field != nullptr) {
        field->setFocus();
    }
}

void ScanDialog::Change(const std::function<void()>& set) {
    message->clear();
    try {
        set();
    } catch (CQorelError& error) {
        message->setText(QString::fromUtf8(error.Message()));
    }
    QTimer::singleShot(0, this, &ScanDialog::BuildOptions);
}

QWidget* ScanDialog::MakeField(const SaneOption& option) {
    const std::string name = option.name;
    const QString unit = Text(option.UnitText());
    if (option.kind == SaneOption::Kind::Bool) {
        auto* box = new QCheckBox(options);
        box->setChecked(device->GetNumber(name) != 0);
        connect(box, &QCheckBox::toggled, this,
                [this, name](bool on) { Change([&] { device->SetNumber(name, on ? 1 : 0); }); });
        return box;
    }
    if (option.constraint == SaneOption::Constraint::List) {
        auto* box = new QComboBox(options);
        if (option.kind == SaneOption::Kind::String) {
            for (const std::string& value : option.strings) {
                box->addItem(Text(value));
            }
            box->setCurrentText(Text(device->GetString(name)));
            connect(box, &QComboBox::currentTextChanged, this, [this, name](const QString& text) {
                Change([&] { device->SetString(name, text.toStdString()); });
            });
        } else {
            for (double value : option.numbers) {
                box->addItem(NumberText(value) + (unit.isEmpty() ? QString() : ' ' + unit), value);
            }
            box->setCurrentIndex(box->findData(device->GetNumber(name)));
            connect(box, &QComboBox::currentIndexChanged, this, [this, name, box](int index) {
                const double value = box->itemData(index).toDouble();
                Change([&] { device->SetNumber(name, value); });
            });
        }
        return box;
    }
    if (option.kind == SaneOption::Kind::String) {
        auto* edit = new QLineEdit(Text(device->GetString(name)), options);
        connect(edit, &QLineEdit::editingFinished, this, [this, name, edit] {
            const std::string text = edit->text().toStdString();
            Change([&] { device->SetString(name, text); });
        });
        return edit;
    }
    auto* spin = new QDoubleSpinBox(options);
    const bool whole = option.kind == SaneOption::Kind::Int ||
                       (option.quantum > 0 && option.quantum == std::floor(option.quantum));
    spin->setDecimals(whole ? 0 : 2);
    if (option.constraint == SaneOption::Constraint::Range) {
        spin->setRange(option.minimum, option.maximum);
        if (option.quantum > 0) {
            spin->setSingleStep(option.quantum);
        }
    } else {
        spin->setRange(-1e9, 1e9);
    }
    if (!unit.isEmpty()) {
        spin->setSuffix(' ' + unit);
    }
    spin->setValue(device->GetNumber(name));
    const double current = spin->value();
    connect(spin, &QDoubleSpinBox::editingFinished, this, [this, name, spin, current] {
        const double value = spin->value();
        if (value != current) { // leaving the field unchanged sets nothing
            Change([&] { device->SetNumber(name, value); });
        }
    });
    return spin;
}

} // namespace pixmill
