#pragma once

#include <QComboBox>

namespace mirelo {

class ImageList;

// The profile chooser. Rows are the catalog's rows in order, so a row's 1-based
// position is the profile position. Category rows are headings: shown with their family's
// picture, not pickable by the user, yet the start-up restore can still make one current.
// A hardware-encoder row is pickable only once its encoder's trial encode worked; until then
// it stays visible and greyed, its tooltip saying why.
class ProfileChooser : public QComboBox {
    Q_OBJECT
public:
    explicit ProfileChooser(QWidget* parent = nullptr);

    // The pictures for the category rows; used by fill().
    void setImageList(const ImageList* images) { m_images = images; }
    // Replaces the rows with the catalog and leaves no row selected.
    void fill();

    // The current row's profile position; 0 when no row is selected.
    int selectedPosition() const;
    // Makes the row at a position current without the pick notification. A position outside
    // the rows leaves the chooser as it was; returns whether a row was selected.
    bool selectPosition(int position);

    // The trial of a hardware encoder ended: its rows become pickable, or say why they are not.
    void setHardwareResult(const QString& encoder, bool works, const QString& reason);
    // Whether the user can pick the row at a position.
    bool isPickable(int position) const;

Q_SIGNALS:
    // The user picked a row (mouse, keyboard or wheel): its presets are due.
    void profilePicked(int position);

private:
    const ImageList* m_images = nullptr;
};

} // namespace mirelo
