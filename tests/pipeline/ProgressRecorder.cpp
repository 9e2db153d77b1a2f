#include "tests/pipeline/ProgressRecorder.h"

#include "app/MainWindow.h"

#include <QLabel>
#include <QProgressBar>

ProgressRecorder::ProgressRecorder(const MainWindow &window) : m_window(window)
{
    connect(window.ui->progressBar, SIGNAL(valueChanged(int)), this, SLOT(onOverallChanged(int)));
}

const ProgressRecorder::Snapshot *ProgressRecorder::at(int overall) const
{
    for (const Snapshot &snapshot : m_snapshots) {
        if (snapshot.overall == overall)
            return &snapshot;
    }
    return nullptr;
}

QList<int> ProgressRecorder::overallValues() const
{
    QList<int> values;
    for (const Snapshot &snapshot : m_snapshots)
        values.append(snapshot.overall);
    return values;
}

void ProgressRecorder::onOverallChanged(int value)
{
    const Ui::MainWindow &ui = *m_window.ui;
    m_snapshots.append({value, ui.label->text(), !ui.progressBar_2->isHidden(), ui.progressBar_2->value(),
                        ui.progressBar_2->maximum()});
}
