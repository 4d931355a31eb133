#include "batch/gui/batch_settings_sheet.h"

#include "batch/batch_job.h"
#include "batch/gui/file_dest_page.h"
#include "batch/gui/file_source_page.h"
#include "batch/gui/processing_page.h"
#include "desktop/gui/gui_services.h"
#include "pixmill/help.h"
#include "pixmill/mnemonics.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace pixmill {

namespace {
constexpr int kProcessingHelpTopic = 444;
} // namespace

BatchSettingsSheet::BatchSettingsSheet(BatchJob& job, GuiServices& services, int pages,
                                       QWidget* parent)
    : QDialog(parent), job(job), services(services) {
    setObjectName(QStringLiteral("batchSettings"));
    setWindowTitle(tr("Batch Processing settings"));
    tabs = new QTabWidget(this);
    if (pages & SourcePage) {
        sourcePage = MakeTypePage(false);
        tabs->addTab(sourcePage, tr("Source"));
    }
    if (pages & ProcessingPage) {
        processing = new BatchProcessingPage(job, services, BatchProcessingPage::SheetPage, this);
        tabs->addTab(processing, tr("Processing"));
    }
    if (pages & DestinationPage) {
        destinationPage = MakeTypePage(true);
        tabs->addTab(destinationPage, tr("Destination"));
    }
    current = tabs->currentWidget();
    connect(tabs, &QTabWidget::currentChanged, this, [this] {
        if (switching) {
            return;
        }
        QWidget* next = tabs->currentWidget();
        if (current != nullptr && current != next && !Leave(current)) {
            switching = true;
            tabs->setCurrentWidget(current);
            switching = false;
            return;
        }
        current = next;
    });
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Help on a type page is the current source's or destination's own.
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
        if (tabs->currentWidget() == sourcePage) {
            this->job.SourceAt(this->job.CurrentSource())->Help(this);
        } else if (tabs->currentWidget() == destinationPage) {
            this->job.DestinationAt(this->job.CurrentDestination())->Help(this);
        } else {
            OpenHelpPage(kProcessingHelpTopic);
        }
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addWidget(buttons);
    resize(pages & SourcePage && pages != SourcePage ? QSize(940, 600) : QSize(900, 560));
}

BatchSettingsSheet::~BatchSettingsSheet() = default;

QWidget* BatchSettingsSheet::MakeTypePage(bool destinations) {
    auto* page = new QWidget(this);
    page->setObjectName(destinations ? QStringLiteral("destinationPage")
                                     : QStringLiteral("sourcePage"));
    auto* types = new QComboBox(page);
    auto* stack = new QStackedWidget(page);
    const int count = destinations ? job.DestinationCount() : job.SourceCount();
    const RECT area{0, 0, 640, 440};
    for (int i = 0; i < count; ++i) {
        QWidget* own = nullptr;
        if (i == 0) {
            // The built-in ones' pages belong to these windows.
            if (destinations) {
                own = fileDest = new FileDestPage(job.FileDest(), stack);
            } else {
                own = fileSource = new FileSourcePage(job, stack);
            }
        } else {
            own = destinations ? job.DestinationAt(i)->CreatePage(stack, area)
                               : job.SourceAt(i)->CreatePage(stack, area);
        }
        if (own == nullptr) {
            own = new QWidget(stack); // a plug-in without a page of its own
        }
        LinkMnemonicLabels(own);
        stack->addWidget(own);
        types->addItem(QString::fromUtf8(destinations ? job.DestinationAt(i)->GetName()
                                                      : job.SourceAt(i)->GetName()));
    }
    const int chosen = destinations ? job.CurrentDestination() : job.CurrentSource();
    types->setCurrentIndex(chosen);
    stack->setCurrentIndex(chosen);
    connect(types, &QComboBox::currentIndexChanged, this, [this, stack, destinations](int i) {
        stack->setCurrentIndex(i);
        if (destinations) {
            job.SetCurrentDestination(i);
        } else {
            job.SetCurrentSource(i);
        }
    });
    auto* label = new QLabel(destinations ? tr("Destination Type") : tr("Source Type"), page);
    label->setBuddy(types);
    auto* band = new QHBoxLayout;
    band->addWidget(label);
    band->addWidget(types, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(band);
    layout->addWidget(stack, 1);
    (destinations ? destinationTypes : sourceTypes) = types;
    return page;
}

bool BatchSettingsSheet::Leave(QWidget* page) {
    if (page == processing) {
        return processing->TakeOver();
    }
    if (page == sourcePage) {
        if (job.CurrentSource() == 0) {
            fileSource->TakeOver();
        }
        return true;
    }
    if (page == destinationPage) {
        if (job.CurrentDestination() == 0) {
            fileDest->TakeOver();
        }
        return job.DestinationAt(job.CurrentDestination())->ApplyPage();
    }
    return true;
}

void BatchSettingsSheet::done(int result) {
    if (result == QDialog::Accepted) {
        // The page on screen first, then every other page takes its values
        // over; a refusal shows that page.
        if (!Leave(tabs->currentWidget())) {
            return;
        }
        for (int i = 0; i < tabs->count(); ++i) {
            QWidget* page = tabs->widget(i);
            if (page != tabs->currentWidget() && !Leave(page)) {
                switching = true;
                tabs->setCurrentWidget(page);
                current = page;
                switching = false;
                return;
            }
        }
    }
    QDialog::done(result);
}

} // namespace pixmill
