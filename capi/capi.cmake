# SPDX-License-Identifier: GPL-3.0-or-later
list(APPEND CB_CAPI_SOURCES
  CapiBase.cpp CapiBase.h
  CapiMessages.cpp CapiMessages.h
  CapiConfig.cpp CapiConfig.h
)
