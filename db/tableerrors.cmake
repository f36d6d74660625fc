# SPDX-License-Identifier: GPL-3.0-or-later
list(APPEND CB_DB_SOURCES TableErrors.cpp TableErrors.h)
