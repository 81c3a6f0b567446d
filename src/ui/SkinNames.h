#pragma once

#include <QLatin1String>

namespace mirelo::skinName {

// The object names that the shipped skin (skins/frmmain.skn) and the window file (window.dat)
// select widgets by. A skin a user made selects by the same names, so they stay as they are; the
// code names these widgets for their roles and uses these names only to label them.
inline constexpr QLatin1String kToolbar("Picture3");           // the command strip
inline constexpr QLatin1String kConvertButton("Image11");      // its "Convert Now" button
inline constexpr QLatin1String kProfileChooser("ImageCombo1"); // the profile chooser
inline constexpr QLatin1String kSourceList("lvwAudioTracks");  // the source list
inline constexpr QLatin1String kPreviewFrame("Privew");        // the preview area
inline constexpr QLatin1String kCurrentTime("LblCurTime");     // a player's position
inline constexpr QLatin1String kTotalTime("SkinLabel10");      // a player's length
inline constexpr QLatin1String kRunPanel("Picture4");          // the conversion's progress panel
inline constexpr QLatin1String kRunClock("SkinLabel2");        // its elapsed-time clock
inline constexpr QLatin1String kImportPreview("frmPR");        // the import window's preview
inline constexpr QLatin1String kImportClose("cmdCLose");       // the import window's close button
// The main window's group in window.dat.
inline constexpr QLatin1String kMainWindowGroup("Form1");

} // namespace mirelo::skinName
