#include "ui/SearchStopper.h"

#include <QElapsedTimer>
#include <memory>

#include "ui/ProgressDlg.h"

namespace tonvela {

SearchStop SearchStopFor(CProgressDlg& progress) {
    auto timer = std::make_shared<QElapsedTimer>();
    return [&progress, timer] {
        if (!timer->isValid() || timer->elapsed() >= 50) {
            progress.ProcessEvents();
            timer->start();
        }
        return progress.IsCancelled();
    };
}

}  // namespace tonvela
