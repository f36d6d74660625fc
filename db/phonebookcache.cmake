# SPDX-License-Identifier: GPL-3.0-or-later
list(APPEND CB_DB_SOURCES PhoneBookCache.cpp PhoneBookCache.h)
