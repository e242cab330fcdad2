#include "convert/program_texts.h"

namespace vkdc {

std::string aboutText() {
    return std::string(texts::kProgramTitle) + "\n\nCoding By " + texts::kMakerAuthor +
           "\nEmail: " + texts::kMakerEmail + "\nWebsite: " + texts::kMakerHost;
}

std::string makerSignature() {
    return std::string("© ") + texts::kMakerHost;
}

}  // namespace vkdc
