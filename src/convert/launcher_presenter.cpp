#include "convert/launcher_presenter.h"

#include "convert/program_texts.h"

namespace vkdc {

void LauncherPresenter::openConverter(PairId pair) {
    if (!created_[index(pair)]) {
        view_.createConverter(pair);
        created_[index(pair)] = true;
    }
    if (view_.runConverter(pair))
        view_.endProgram();
}

void LauncherPresenter::about() {
    view_.showAbout(aboutText());
    view_.openSite(texts::kMakerUrl);
}

}  // namespace vkdc
