#pragma once

#include <QComboBox>
#include <QElapsedTimer>

namespace assembly {

namespace private_impl {
class ComboBoxWithCheckboxesDelegate;
}

// A combo box whose items carry check boxes. Ticking an item in the popup
// keeps the popup open: the close request that follows a tick within
// KEEP_OPEN_MS (the release of the same click) is ignored once, the next one
// closes it.
class ComboBoxWithCheckboxes : public QComboBox
{
    Q_OBJECT

public:
    static constexpr int KEEP_OPEN_MS = 1000;

    explicit ComboBoxWithCheckboxes(QWidget *parent = nullptr);
    ~ComboBoxWithCheckboxes() override;

    void hidePopup() override;

    private_impl::ComboBoxWithCheckboxesDelegate *checkDelegate() const { return delegate_; }

private:
    private_impl::ComboBoxWithCheckboxesDelegate *delegate_ = nullptr;
    // Invalid until the first tick.
    QElapsedTimer last_check_;
};

} // namespace assembly
