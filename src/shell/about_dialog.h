#pragma once

#include "shell/layout_metrics.h"

#include <QDialog>

namespace qm {

// The About box: modal, closed by "OK" only.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(const LayoutMetrics& metrics, QWidget* owner);

public Q_SLOTS:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace qm
