# SPDX-License-Identifier: GPL-3.0-or-later
# One program per user (QLockFile), and the deadline after a termination signal.
target_sources(cb_platform_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/InstanceLock.cpp ${CMAKE_CURRENT_LIST_DIR}/InstanceLock.h
               ${CMAKE_CURRENT_LIST_DIR}/ExitDeadline.cpp ${CMAKE_CURRENT_LIST_DIR}/ExitDeadline.h)
