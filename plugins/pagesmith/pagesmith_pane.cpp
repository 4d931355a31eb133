#include "pagesmith_pane.h"

#include "pagesmith_strings.h"
#include "profile_configurations.h"
#include "template_preview.h"
#include "web_page_destination.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace pixmill::pagesmith {

namespace {

QString Text(StringId id) {
    return QString::fromUtf8(LookupString(kStrings, id));
}

QString Format(StringId id, const std::string& argument) {
    return Text(id).replace("%s", QString::fromStdString(argument));
}

void SetSwatch(QPushButton* button, ColorValue value) {
    const QColor color(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
    button->setStyleSheet(
        QStringLiteral("background-color: %1; min-width: 48px;").arg(color.name()));
}

} // namespace

PagesmithPage::PagesmithPage(WebPageDestination& destination, QWidget* parent)
    : QWidget(parent), destination(destination), edited(destination.Profile()) {
    setObjectName("pagesmithPage");
    chooseFile = [this](bool save, const QString& filter) {
        return save ? QFileDialog::getSaveFileName(this, QString(), QString(), filter)
                    : QFileDialog::getOpenFileName(this, QString(), QString(), filter);
    };
    openFile = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    previewFolder = QDir::tempPath() + "/pixmill-preview";

    pages = PropertyPages(edited);
    stack = new QStackedWidget(this);
    stack->addWidget(BuildFirstPage());
    for (PropertyPage& page : pages) {
        stack->addWidget(BuildPropertyPage(page));
    }
    previous = new QPushButton("<  &Previous", this);
    next = new QPushButton("&Next  >", this);
    connect(previous, &QPushButton::clicked, this, [this] { Step(-1); });
    connect(next, &QPushButton::clicked, this, [this] { Step(1); });
    auto* steps = new QHBoxLayout;
    steps->addStretch();
    steps->addWidget(previous);
    steps->addWidget(next);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack, 1);
    layout->addLayout(steps);
    FillConfigurations();
    Refresh();
}

PagesmithPage::~PagesmithPage() = default;

int PagesmithPage::CurrentPage() const {
    return stack->currentIndex();
}

QWidget* PagesmithPage::BuildFirstPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    auto fileRow = [this](QLineEdit* edit, const QString& filter, bool save) {
        auto* row = new QHBoxLayout;
        row->addWidget(edit, 1);
        auto* browse = new QPushButton("...");
        browse->setMaximumWidth(32);
        row->addWidget(browse);
        connect(browse, &QPushButton::clicked, this, [this, edit, filter, save] {
            const QString file = chooseFile(save, filter);
            if (!file.isEmpty()) {
                edit->setText(file);
            }
        });
        return row;
    };

    auto* projectRow = new QFormLayout;
    project = new QLineEdit;
    project->setObjectName("project");
    projectRow->addRow("Pro&ject:", fileRow(project, "HTML pages (*.htm *.html)", true));
    modern = new QCheckBox("Mode&rn pages: a grid for phones and wide screens, a page per picture");
    modern->setObjectName("modern");
    projectRow->addRow(QString(), modern);
    galleryTitle = new QLineEdit;
    galleryTitle->setObjectName("galleryTitle");
    galleryTitle->setPlaceholderText("Photographs");
    projectRow->addRow("&Gallery title:", galleryTitle);
    pictureSizes = new QLineEdit;
    pictureSizes->setObjectName("pictureSizes");
    pictureSizes->setPlaceholderText("e.g. 480,960,1600 (empty: the full size only)");
    pictureSizes->setToolTip("Every picture is also written at these widths, in each output "
                             "format, and browsers load the one that fits the screen. A picture "
                             "is never enlarged.");
    projectRow->addRow("Sizes (&widths in pixels):", pictureSizes);
    pictureZip = new QCheckBox("Zip o&f the full-size pictures, linked from the index");
    pictureZip->setObjectName("pictureZip");
    projectRow->addRow(QString(), pictureZip);
    layout->addLayout(projectRow);

    auto* kinds = new QGroupBox("Pages");
    auto* grid = new QVBoxLayout(kinds);
    thumbnails = new QCheckBox("&Thumbnail pages");
    thumbAutomatic = new QRadioButton("&Automatic");
    thumbTemplate = new QRadioButton("Te&mplate based");
    auto* thumbStyle = new QButtonGroup(this);
    thumbStyle->addButton(thumbAutomatic);
    thumbStyle->addButton(thumbTemplate);
    thumbTemplateFile = new QLineEdit;
    thumbTemplateFile->setObjectName("thumbnailTemplate");
    auto* thumbEdit = new QPushButton("E&dit");
    auto* thumbPreview = new QPushButton("Preview");
    thumbPreview->setObjectName("thumbnailPreview");
    auto* row = new QHBoxLayout;
    row->addWidget(thumbnails);
    row->addWidget(thumbAutomatic);
    row->addWidget(thumbTemplate);
    row->addStretch();
    grid->addLayout(row);
    row = fileRow(thumbTemplateFile, "HTML templates (*.htm *.html)", false);
    row->addWidget(thumbEdit);
    row->addWidget(thumbPreview);
    grid->addLayout(row);

    zoom = new QCheckBox("&Zoom images");
    justImage = new QRadioButton("&Just image");
    zoomPage = new QRadioButton("Z&oom page");
    auto* zoomStyle = new QButtonGroup(this);
    zoomStyle->addButton(justImage);
    zoomStyle->addButton(zoomPage);
    zoomAutomatic = new QRadioButton("A&utomatic");
    zoomTemplate = new QRadioButton("Template &based");
    auto* zoomSubstyle = new QButtonGroup(this);
    zoomSubstyle->addButton(zoomAutomatic);
    zoomSubstyle->addButton(zoomTemplate);
    zoomTemplateFile = new QLineEdit;
    zoomTemplateFile->setObjectName("zoomTemplate");
    auto* zoomEdit = new QPushButton("&Edit");
    auto* zoomPreview = new QPushButton("Preview");
    zoomPreview->setObjectName("zoomPreview");
    row = new QHBoxLayout;
    row->addWidget(zoom);
    row->addWidget(justImage);
    row->addWidget(zoomPage);
    row->addSpacing(12);
    row->addWidget(zoomAutomatic);
    row->addWidget(zoomTemplate);
    row->addStretch();
    grid->addLayout(row);
    row = fileRow(zoomTemplateFile, "HTML templates (*.htm *.html)", false);
    row->addWidget(zoomEdit);
    row->addWidget(zoomPreview);
    grid->addLayout(row);
    index = new QCheckBox("&Index page");
    grid->addWidget(index);
    askTitles = new QCheckBox("Ask for each picture's tit&les");
    askTitles->setObjectName("askTitles");
    grid->addWidget(askTitles);
    keepLocation = new QCheckBox("Keep the photographs' &location (GPS) in published pictures");
    keepLocation->setObjectName("keepLocation");
    keepLocation->setToolTip("Off: the pictures leave out where they were taken, serial "
                             "numbers, owner and artist names and maker notes");
    keepLocation->setChecked(destination.KeepLocation());
    grid->addWidget(keepLocation);
    layout->addWidget(kinds);

    auto* previewBox = new QGroupBox("Preview options");
    auto* previewForm = new QFormLayout(previewBox);
    auto* previewImage = new QLineEdit;
    auto* previewText = new QLineEdit;
    previewForm->addRow("Image:",
                        fileRow(previewImage, "Pictures (*.jpg *.jpeg *.png *.gif)", false));
    previewForm->addRow("Text:", previewText);
    layout->addWidget(previewBox);

    auto* configBox = new QGroupBox("Configuration");
    auto* configRow = new QHBoxLayout(configBox);
    configurations = new QComboBox;
    configurations->setObjectName("configurations");
    auto* saveAs = new QPushButton("&Save profile as");
    auto* load = new QPushButton("&Load profile");
    auto* remove = new QPushButton("&Remove profile");
    configRow->addWidget(configurations, 1);
    configRow->addWidget(saveAs);
    configRow->addWidget(load);
    configRow->addWidget(remove);
    layout->addWidget(configBox);
    layout->addStretch();

    // Values in, changes out.
    ProjectSettings& p = edited.project;
    refreshers.push_back([this, &p, previewImage, previewText] {
        project->setText(QString::fromStdString(destination.ProjectPath()));
        thumbnails->setChecked(p.createThumbnailPages);
        (p.thumbnailStyle == ThumbnailsFromTemplate ? thumbTemplate : thumbAutomatic)
            ->setChecked(true);
        thumbTemplateFile->setText(QString::fromStdString(p.thumbnailTemplate));
        zoom->setChecked(p.createZoomPages);
        (p.zoomStyle == ZoomPage ? zoomPage : justImage)->setChecked(true);
        (p.zoomSubstyle == ZoomFromTemplate ? zoomTemplate : zoomAutomatic)->setChecked(true);
        zoomTemplateFile->setText(QString::fromStdString(p.zoomTemplate));
        index->setChecked(p.createContentPage);
        askTitles->setChecked(p.askTitles);
        modern->setChecked(p.modernPages);
        galleryTitle->setText(QString::fromStdString(p.galleryTitle));
        pictureSizes->setText(QString::fromStdString(p.pictureSizes));
        pictureZip->setChecked(p.pictureZip);
        previewImage->setText(QString::fromStdString(p.previewImage));
        previewText->setText(QString::fromStdString(p.previewText));
    });
    auto changed = [this](auto apply) {
        return [this, apply](auto&&...) {
            if (!filling) {
                apply();
                UpdateEnabling();
            }
        };
    };
    connect(thumbnails, &QCheckBox::toggled, this,
            changed([this, &p] { p.createThumbnailPages = thumbnails->isChecked(); }));
    connect(thumbTemplate, &QRadioButton::toggled, this, changed([this, &p] {
                p.thumbnailStyle =
                    thumbTemplate->isChecked() ? ThumbnailsFromTemplate : ThumbnailsAutomatic;
            }));
    connect(zoom, &QCheckBox::toggled, this,
            changed([this, &p] { p.createZoomPages = zoom->isChecked(); }));
    connect(zoomPage, &QRadioButton::toggled, this, changed([this, &p] {
                p.zoomStyle = zoomPage->isChecked() ? ZoomPage : ZoomJustImage;
            }));
    connect(zoomTemplate, &QRadioButton::toggled, this, changed([this, &p] {
                p.zoomSubstyle = zoomTemplate->isChecked() ? ZoomFromTemplate : ZoomAutomatic;
            }));
    connect(index, &QCheckBox::toggled, this,
            changed([this, &p] { p.createContentPage = index->isChecked(); }));
    connect(askTitles, &QCheckBox::toggled, this,
            changed([this, &p] { p.askTitles = askTitles->isChecked(); }));
    connect(modern, &QCheckBox::toggled, this,
            changed([this, &p] { p.modernPages = modern->isChecked(); }));
    connect(pictureZip, &QCheckBox::toggled, this,
            changed([this, &p] { p.pictureZip = pictureZip->isChecked(); }));
    connect(galleryTitle, &QLineEdit::textChanged, this,
            changed([this, &p] { p.galleryTitle = galleryTitle->text().toStdString(); }));
    connect(pictureSizes, &QLineEdit::textChanged, this,
            changed([this, &p] { p.pictureSizes = pictureSizes->text().toStdString(); }));
    connect(thumbTemplateFile, &QLineEdit::textChanged, this,
            changed([this, &p] { p.thumbnailTemplate = thumbTemplateFile->text().toStdString(); }));
    connect(zoomTemplateFile, &QLineEdit::textChanged, this,
            changed([this, &p] { p.zoomTemplate = zoomTemplateFile->text().toStdString(); }));
    connect(previewImage, &QLineEdit::textChanged, this,
            changed([&p, previewImage] { p.previewImage = previewImage->text().toStdString(); }));
    connect(previewText, &QLineEdit::textChanged, this,
            changed([&p, previewText] { p.previewText = previewText->text().toStdString(); }));
    connect(thumbEdit, &QPushButton::clicked, this, [this, &p] { Edit(p.thumbnailTemplate); });
    connect(zoomEdit, &QPushButton::clicked, this, [this, &p] { Edit(p.zoomTemplate); });
    connect(thumbPreview, &QPushButton::clicked, this, [this] { Preview(false); });
    connect(zoomPreview, &QPushButton::clicked, this, [this] { Preview(true); });
    connect(configurations, &QComboBox::activated, this, [this](int i) { ChooseConfiguration(i); });
    connect(saveAs, &QPushButton::clicked, this, [this] { SaveProfileAs(); });
    connect(load, &QPushButton::clicked, this, [this] { LoadProfile(); });
    connect(remove, &QPushButton::clicked, this, [this] { RemoveProfile(); });

    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    return scroll;
}

QWidget* PagesmithPage::BuildPropertyPage(PropertyPage& property) {
    auto* page = new QGroupBox(QString::fromUtf8(property.title));
    auto* form = new QFormLayout(page);
    for (PageField& field : property.fields) {
        const QString label = QString::fromUtf8(field.label);
        switch (field.kind) {
        case PageField::Flag: {
            auto* box = new QCheckBox(label);
            form->addRow(box);
            refreshers.push_back([box, &field] { box->setChecked(*field.flag); });
            connect(box, &QCheckBox::toggled, this, [this, &field](bool on) {
                if (!filling) {
                    *field.flag = on;
                }
            });
            break;
        }
        case PageField::Number: {
            auto* spin = new QSpinBox;
            spin->setRange(field.minimum, field.maximum);
            form->addRow(label, spin);
            refreshers.push_back([spin, &field] { spin->setValue(*field.number); });
            connect(spin, &QSpinBox::valueChanged, this, [this, &field](int value) {
                if (!filling) {
                    *field.number = value;
                }
            });
            break;
        }
        case PageField::Choice: {
            auto* combo = new QComboBox;
            for (const char* choice : field.choices) {
                combo->addItem(QString::fromUtf8(choice));
            }
            form->addRow(label, combo);
            refreshers.push_back([combo, &field] {
                combo->setCurrentIndex(std::clamp(*field.number, 0, combo->count() - 1));
            });
            connect(combo, &QComboBox::currentIndexChanged, this, [this, &field](int value) {
                if (!filling && value >= 0) {
                    *field.number = value;
                }
            });
            break;
        }
        case PageField::Color: {
            auto* button = new QPushButton;
            form->addRow(label, button);
            refreshers.push_back([button, &field] { SetSwatch(button, *field.number); });
            connect(button, &QPushButton::clicked, this, [this, button, &field] {
                const int value = *field.number;
                const QColor chosen = QColorDialog::getColor(
                    QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF), this);
                if (chosen.isValid()) {
                    *field.number = chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16);
                    SetSwatch(button, *field.number);
                }
            });
            break;
        }
        case PageField::Text:
        case PageField::File: {
            auto* edit = new QLineEdit;
            if (field.kind == PageField::File) {
                auto* row = new QHBoxLayout;
                row->addWidget(edit, 1);
                auto* browse = new QPushButton("...");
                browse->setMaximumWidth(32);
                row->addWidget(browse);
                connect(browse, &QPushButton::clicked, this, [this, edit] {
                    const QString file = chooseFile(false, QString());
                    if (!file.isEmpty()) {
                        edit->setText(file);
                    }
                });
                form->addRow(label, row);
            } else {
                form->addRow(label, edit);
            }
            refreshers.push_back(
                [edit, &field] { edit->setText(QString::fromStdString(*field.text)); });
            connect(edit, &QLineEdit::textChanged, this, [this, &field](const QString& text) {
                if (!filling) {
                    *field.text = text.toStdString();
                }
            });
            break;
        }
        }
    }
    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    return scroll;
}

void PagesmithPage::Refresh() {
    filling = true;
    for (const auto& refresh : refreshers) {
        refresh();
    }
    filling = false;
    UpdateEnabling();
}

void PagesmithPage::UpdateEnabling() {
    const ProjectSettings& p = edited.project;
    thumbAutomatic->setEnabled(p.createThumbnailPages);
    thumbTemplate->setEnabled(p.createThumbnailPages);
    thumbTemplateFile->setEnabled(p.createThumbnailPages &&
                                  p.thumbnailStyle == ThumbnailsFromTemplate);
    justImage->setEnabled(p.createZoomPages);
    zoomPage->setEnabled(p.createZoomPages);
    const bool zoomPages = p.createZoomPages && p.zoomStyle == ZoomPage;
    zoomAutomatic->setEnabled(zoomPages);
    zoomTemplate->setEnabled(zoomPages);
    zoomTemplateFile->setEnabled(zoomPages && p.zoomSubstyle == ZoomFromTemplate);
    galleryTitle->setEnabled(p.modernPages);
    pictureSizes->setEnabled(p.modernPages);
    const int current = stack->currentIndex();
    previous->setEnabled(StepPage(pages, p, current, -1) >= 0);
    next->setEnabled(StepPage(pages, p, current, 1) >= 0);
}

void PagesmithPage::Step(int delta) {
    const int page = StepPage(pages, edited.project, stack->currentIndex(), delta);
    if (page >= 0) {
        stack->setCurrentIndex(page);
    }
    UpdateEnabling();
}

void PagesmithPage::Commit() {
    destination.Profile() = edited;
    destination.SetKeepLocation(keepLocation->isChecked(), true);
    destination.SetProjectPath(project->text().trimmed().toStdString());
    destination.UpdateThumbnailSettings();
}

void PagesmithPage::FillConfigurations() {
    configurations->clear();
    ProfileConfigurations* list = destination.Configurations();
    if (list == nullptr) {
        configurations->addItem(Text(IdDefaultConfig));
        return;
    }
    for (const std::string& name : list->Names()) {
        configurations->addItem(QString::fromStdString(name));
    }
    const int current =
        configurations->findText(QString::fromStdString(list->Current()), Qt::MatchFixedString);
    configurations->setCurrentIndex(std::max(current, 0));
}

void PagesmithPage::ChooseConfiguration(int row) {
    if (ProfileConfigurations* list = destination.Configurations(); list && row >= 0) {
        list->Choose(configurations->itemText(row).toStdString(), edited);
        Refresh();
    }
}

void PagesmithPage::SaveProfileAs() {
    ProfileConfigurations* list = destination.Configurations();
    if (list == nullptr) {
        return;
    }
    QString file = chooseFile(true, "Html generation profiles (*.vhb)");
    if (file.isEmpty()) {
        return;
    }
    if (QFileInfo(file).suffix().isEmpty()) {
        file += ".vhb";
    }
    if (list->SaveAs(file.toStdString(), edited)) {
        FillConfigurations();
    }
}

void PagesmithPage::LoadProfile() {
    ProfileConfigurations* list = destination.Configurations();
    const QString file = list ? chooseFile(false, "Html generation profiles (*.vhb)") : QString();
    if (!file.isEmpty() && list->Load(file.toStdString(), edited)) {
        FillConfigurations();
        Refresh();
    }
}

void PagesmithPage::RemoveProfile() {
    ProfileConfigurations* list = destination.Configurations();
    if (list && list->Remove(configurations->currentText().toStdString(), edited)) {
        FillConfigurations();
        Refresh();
    }
}

void PagesmithPage::Preview(bool zoomPreview) {
    const PreviewResult result = WritePreview(edited, zoomPreview, previewFolder.toStdString(),
                                              defaultPreviewImage.toStdString());
    if (result.page.empty()) {
        // Nothing to show: the log says why.
        openFile(QString::fromStdString(result.logFile));
        return;
    }
    if (!openFile(QString::fromStdString(result.page))) {
        destination.Show(Text(IdNoBrowser).toStdString());
    }
}

void PagesmithPage::Edit(const std::string& file) {
    if (!QFileInfo::exists(QString::fromStdString(file))) {
        destination.Show(Format(IdFileNotFound, file).toStdString());
        return;
    }
    if (!openFile(QString::fromStdString(file))) {
        destination.Show(Text(IdNoAssociation).toStdString());
    }
}

} // namespace pixmill::pagesmith
