// The converter window: the Qt face of the two-step wizard in which one conversion runs. One
// class serves both VKDC12 (1.0 to 2.0) and VKDC23 (2.0 to 3.0). The window is a view of
// ConverterPresenter, which decides every state and message: the window lays out the design,
// passes clicks and keys on, and shows what it is told. The work itself is vkdc::Conversion's,
// the same core that `vkdc-cli convert` runs.
//
// Every control carries the object name of the design. Besides the visible steps the window
// holds the hidden machinery by name: the analysis button `AnalysisDB`, the flag labels
// `Label3` and `Label1`, the table frames `Frame1`..`Frame4` with their bound boxes and
// `Convert_*` buttons, and the eight data controls (DataControlView objects).
#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <functional>

#include "convert/converter_presenter.h"
#include "convert/converter_view.h"
#include "store/version_pair.h"

class QPushButton;

namespace vkdc {

class Dialogs;

// Stands for one data control of the window (`User_Old`, `Adodc3`, ...). The database work
// is the core's; this mirrors the connection the core made, so it can be inspected by name.
class DataControlView : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ConnectionString MEMBER connectionString)
    Q_PROPERTY(QString RecordSource MEMBER recordSource)
    Q_PROPERTY(QString Table MEMBER table CONSTANT)
    Q_PROPERTY(bool NewSide MEMBER newSide CONSTANT)
  public:
    DataControlView(const QString& name, const QString& table, bool new_side, QObject* parent);

    QString connectionString;
    QString recordSource;
    QString table;
    bool newSide = false;
};

class ConverterWindow : public QDialog, private ConverterView {
    Q_OBJECT
  public:
    // A window for `pair`, owned by `owner` (shown modally over it). `dialogs` must outlive it.
    ConverterWindow(PairId pair, Dialogs& dialogs, QWidget* owner = nullptr);
    ~ConverterWindow() override;

    PairId pairId() const { return presenter_.pair().id; }
    const VersionPair& versionPair() const { return presenter_.pair(); }

    // Folder of the installed template; by default the first install folder that holds it.
    void setTemplateDir(const QString& dir);
    QString templateDir() const;
    // Folder for the private working copy of the template (the system temp folder if empty).
    void setWorkDir(const QString& dir);
    // What F1 runs, with this window as the owner of the guide it shows.
    void setGuideOpener(std::function<void(QWidget*)> opener) { guide_opener_ = std::move(opener); }
    // How long a conversion runs before its progress bar appears.
    void setProgressDelay(int ms);

    // The conversion of this showing (nullptr before the first analysis and after closing),
    // and the result of its last conversion.
    const Conversion* conversion() const { return presenter_.conversion(); }
    const ConversionReport& report() const { return presenter_.report(); }
    // How many times the progress bar was shown during this showing's conversion.
    int progressShown() const { return presenter_.progressShown(); }

  signals:
    // A save succeeded and the window closed: the program is to end now.
    void programEndRequested();

  public slots:
    void browseOpen();       // BrowseOpen
    void analyse();          // AnalysisDB
    void convertDatabase();  // ConvertDB
    void browseSave();       // BrowseSave
    void saveDatabase();     // SaveDB
    void showGuide();        // F1

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void build();
    QWidget* widget(Control control) const;
    QPushButton* button(Control control) const;

    // ConverterView
    void setControlEnabled(Control control, bool enabled) override;
    void setControlVisible(Control control, bool visible) override;
    void setControlText(Control control, const std::string& text) override;
    std::string controlText(Control control) const override;
    void focusControl(Control control) override;
    void showMessage(const Message& message) override;
    std::string askPath(const PathRequest& request) override;
    void showProgress(int value, int maximum) override;
    void paintNow() override;
    void showConnection(const std::string& control, const std::string& connection,
                        const std::string& record_source) override;
    void openGuide() override;
    void unload() override;
    void endProgram() override;

    Dialogs& dialogs_;
    std::function<void(QWidget*)> guide_opener_;

    // The controls the presenter sets, by Control.
    std::array<QWidget*, static_cast<size_t>(Control::kProgress) + 1> widgets_{};

    ConverterPresenter presenter_;
};

}  // namespace vkdc
