# SPDX-License-Identifier: GPL-3.0-or-later
# Call history, phone book and the entry editor, with their list lines.
list(APPEND CB_UI_SOURCES
  Anrufer.cpp Anrufer.h
  Teilnehmer.cpp Teilnehmer.h
  Editor.cpp Editor.h
  ListLines.cpp ListLines.h
  ListSpot.cpp ListSpot.h
  ListLineModel.cpp ListLineModel.h)
