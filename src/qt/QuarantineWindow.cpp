#include "qt/QuarantineWindow.h"

#include "app/QuarantineCommands.h"

#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

namespace tw::qt {

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// A box with the buttons a Chinese desktop shows; true for 是.
bool ask(QWidget* parent, const QString& prompt) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), prompt, QMessageBox::NoButton,
                    parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void tell(QWidget* parent, const QuarantineReport& report) {
    QMessageBox box(report.ok ? QMessageBox::Information : QMessageBox::Warning,
                    QStringLiteral("提示"), text(report.zh), QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole));
    box.exec();
}

class QuarantineWindow;
QPointer<QuarantineWindow> theWindow;

class QuarantineWindow final : public QDialog {
public:
    QuarantineWindow(QWidget* mainWindow, Quarantine& quarantine)
        : QDialog(mainWindow), m_quarantine(quarantine) {
        setAttribute(Qt::WA_DeleteOnClose);
        setObjectName(QStringLiteral("QuarantineWindow"));
        setWindowTitle(QStringLiteral("隔离区"));
        resize(760, 380);

        auto* intro = new QLabel(text(quarantineIntro), this);
        m_list = new QTreeWidget(this);
        m_list->setObjectName(QStringLiteral("items"));
        QStringList headings;
        for (const char* heading : quarantineHeadings) {
            headings << text(heading);
        }
        m_list->setHeaderLabels(headings);
        m_list->setRootIsDecorated(false);
        m_list->setSelectionMode(QAbstractItemView::SingleSelection);
        m_list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
        m_list->header()->setStretchLastSection(false);

        m_restore = new QPushButton(QStringLiteral("恢复(&R)"), this);
        m_restore->setObjectName(QStringLiteral("restore"));
        m_purge = new QPushButton(QStringLiteral("删除(&D)"), this);
        m_purge->setObjectName(QStringLiteral("purge"));
        auto* close = new QPushButton(QStringLiteral("关闭"), this);
        close->setObjectName(QStringLiteral("close"));

        m_usage = new QLabel(this);
        m_usage->setObjectName(QStringLiteral("usage"));

        auto* buttons = new QHBoxLayout;
        buttons->addWidget(m_restore);
        buttons->addWidget(m_purge);
        buttons->addStretch();
        buttons->addWidget(m_usage);
        buttons->addSpacing(12);
        buttons->addWidget(close);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(intro);
        layout->addWidget(m_list);
        layout->addLayout(buttons);

        connect(m_restore, &QPushButton::clicked, this, [this] { restoreSelected(); });
        connect(m_purge, &QPushButton::clicked, this, [this] { purgeSelected(); });
        connect(close, &QPushButton::clicked, this, &QDialog::close);
        connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { enableButtons(); });
        refresh();
    }

    // Reads the list anew from the store.
    void refresh() {
        m_list->clear();
        const auto items = m_quarantine.list();
        const std::vector<QuarantineItem> shown = items.value_or(std::vector<QuarantineItem>{});
        for (const QuarantineRow& row : quarantineRows(shown)) {
            QStringList cells;
            for (const std::string& cell : row.cells) {
                cells << text(cell);
            }
            auto* entry = new QTreeWidgetItem(m_list, cells);
            entry->setData(0, Qt::UserRole, text(row.id));
            entry->setToolTip(1, cells[1]);
        }
        m_usage->setText(items && m_quarantine.bound() > 0
                             ? text(quarantineUsageText(shown, m_quarantine.bound()))
                             : QString());
        for (int column = 0; column < 4; ++column) {
            if (column != 1) {
                m_list->resizeColumnToContents(column);
            }
        }
        if (!items) {
            tell(this, QuarantineReport{false, RestoreOutcome::failed, "无法读取隔离区。", ""});
        }
        enableButtons();
    }

private:
    [[nodiscard]] std::optional<std::string> selectedId() const {
        const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
        if (selected.isEmpty()) {
            return std::nullopt;
        }
        return selected.front()->data(0, Qt::UserRole).toString().toStdString();
    }

    void enableButtons() {
        const bool any = selectedId().has_value();
        m_restore->setEnabled(any);
        m_purge->setEnabled(any);
    }

    void restoreSelected() {
        const auto id = selectedId();
        if (!id) {
            return;
        }
        QuarantineReport report = restoreItem(m_quarantine, *id, std::nullopt);
        const bool elsewhere = asksForFolder(report.outcome);
        if (elsewhere && ask(this, text(report.zh) + QStringLiteral("\n是否恢复到其他文件夹？"))) {
            const QString folder =
                QFileDialog::getExistingDirectory(this, QStringLiteral("选择恢复到的文件夹"));
            if (folder.isEmpty()) {
                return;
            }
            report = restoreItem(m_quarantine, *id, folder.toStdString());
        } else if (elsewhere) {
            return;
        }
        tell(this, report);
        refresh();
    }

    void purgeSelected() {
        const auto id = selectedId();
        if (!id ||
            !ask(this, QStringLiteral("确定要从隔离区永久删除所选文件吗？删除后将无法恢复。"))) {
            return;
        }
        const QuarantineReport report = purgeItem(m_quarantine, *id);
        if (!report.ok) {
            tell(this, report);
        }
        refresh();
    }

    Quarantine& m_quarantine;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_purge = nullptr;
    QLabel* m_usage = nullptr;
};

} // namespace

void showQuarantineWindow(QWidget* mainWindow, Quarantine& quarantine) {
    if (theWindow == nullptr) {
        theWindow = new QuarantineWindow(mainWindow, quarantine);
    } else {
        theWindow->refresh();
    }
    theWindow->show();
    theWindow->raise();
    theWindow->activateWindow();
}

QWidget* quarantineWindow() {
    return theWindow.data();
}

} // namespace tw::qt
