#pragma once

#include "ui/layout_metrics.h"

#include <QDialog>

namespace qm {

// The About box: modal, closed by "OK", Return or Escape.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(const LayoutMetrics& metrics, QWidget* owner);
};

} // namespace qm
