// One walk through a converter window that each face's tests run on its real window, so the
// wiring of every face is checked by the same steps: each button reaches the presenter, and
// each state the presenter sets shows on the right control. The presenter's own tests check
// the flow in full; this walk is the short path from the first showing to a save.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/converter_texts.h"
#include "convert/converter_view.h"

namespace converter_walk {

// What a face's test lets the walk do with its real converter window, as a user would.
class Face {
  public:
    virtual ~Face() = default;
    // Clicks `control`; false, and nothing happens, when it is disabled or hidden.
    virtual bool click(vkdc::Control control) = 0;
    virtual bool enabled(vkdc::Control control) const = 0;
    virtual bool hasFocus(vkdc::Control control) const = 0;
    // What a path box holds.
    virtual std::string text(vkdc::Control control) const = 0;
    // The path the next file dialog answers.
    virtual void answerNextDialog(const std::string& path) = 0;
    // The texts of the messages shown so far, in order.
    virtual std::vector<std::string> messages() const = 0;
    // Whether the window is still on screen.
    virtual bool shown() const = 0;
};

// From the first showing of the window of `pair` to a save: a conversion asked for without a
// source, a source browsed to and converted, a destination browsed to and saved. `source` is a
// database of the pair's source version; `dest` a path the save may write.
inline void walkToSave(Face& face, vkdc::PairId pair, const std::string& source,
                       const std::string& dest) {
    using vkdc::Control;
    using vkdc::MessageId;
    const auto last_message = [&face] {
        const std::vector<std::string> all = face.messages();
        return all.empty() ? std::string() : all.back();
    };

    EXPECT_TRUE(face.hasFocus(Control::kBrowseOpen));
    for (Control c : {Control::kText1, Control::kBrowseOpen, Control::kConvertDB})
        EXPECT_TRUE(face.enabled(c)) << vkdc::controlName(c);
    for (Control c : {Control::kText2, Control::kBrowseSave, Control::kSaveDB}) {
        EXPECT_FALSE(face.enabled(c)) << vkdc::controlName(c);
        EXPECT_FALSE(face.click(c)) << vkdc::controlName(c);
    }

    ASSERT_TRUE(face.click(Control::kConvertDB));
    EXPECT_EQ(last_message(), vkdc::messageText(pair, MessageId::kNoSourcePath));
    EXPECT_TRUE(face.hasFocus(Control::kText1));

    face.answerNextDialog(source);
    ASSERT_TRUE(face.click(Control::kBrowseOpen));
    EXPECT_EQ(face.text(Control::kText1), source);
    ASSERT_TRUE(face.click(Control::kConvertDB));
    EXPECT_EQ(last_message(), vkdc::messageText(pair, MessageId::kConverted));
    for (Control c : {Control::kText1, Control::kBrowseOpen, Control::kConvertDB, Control::kSaveDB})
        EXPECT_FALSE(face.enabled(c)) << vkdc::controlName(c);
    for (Control c : {Control::kText2, Control::kBrowseSave})
        EXPECT_TRUE(face.enabled(c)) << vkdc::controlName(c);

    face.answerNextDialog(dest);
    ASSERT_TRUE(face.click(Control::kBrowseSave));
    EXPECT_EQ(face.text(Control::kText2), dest);
    ASSERT_TRUE(face.click(Control::kSaveDB));
    EXPECT_EQ(last_message(), vkdc::messageText(pair, MessageId::kSaved));
    EXPECT_FALSE(face.shown());
}

}  // namespace converter_walk
