#pragma once

#include <QDialog>

class QComboBox;

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::dialogs::ui {

class CHelp;

// The choice of the reader of the photographs' Exif data: jhead, jhead with
// exiftool, exiftool once per photograph, exiftool kept running (batch mode)
// or the built-in reader, which is offered first when nothing was chosen yet.
// Shown at the first start and from the options dialog; OK makes the choice
// at once.
class frmChoixOutilExif : public QDialog
{
    Q_OBJECT
public:
    frmChoixOutilExif(app::AppContext &context, CHelp *help, QWidget *parent = nullptr);

    // The choice the box shows (Option_OutilExifChoisi's values 1 to 5).
    int shownChoice() const;

private:
    void cmdOK_Click();

    app::AppContext &m_context;
    QComboBox *m_choice = nullptr;
};

} // namespace tarvello::dialogs::ui
