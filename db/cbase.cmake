# SPDX-License-Identifier: GPL-3.0-or-later
list(APPEND CB_DB_SOURCES CBase.cpp CBase.h CBaseTesting.h)
