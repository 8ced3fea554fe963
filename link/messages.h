#pragma once
// Every fixed text that a message box of the program shows, in one place: widget-free, so that
// the procedures of the cores and zmctl say exactly what the windows say.

namespace zm::msg {

// The caption of the program's message boxes.
inline constexpr char kTitle[] = "ZM3386 Comm Tool";

// The fixed string table.
inline constexpr char kCommunicationTimeOut[] = "Communication time out!";
inline constexpr char kBusy[] = "Be processing command, please try later!";
inline constexpr char kInvalidChar[] = "Invalid char, please input: 0~9,A~Z,a~z";
inline constexpr char kInvalidCharSpace[] = "Invalid char, please input: Space,0~9,A~Z,a~z";
inline constexpr char kPortNotOpened[] = "Comm port not be opened!";

// Console.
inline constexpr char kOpenPortFailed[] = "Open port failed!";
// Followed by the reason the link gives, on a line of its own.
inline constexpr char kPortLost[] = "The comm port was lost and has been closed.";
inline constexpr char kVersionFormat[] = "Version:\"%1\"";
// Followed by the program path and the reason.
inline constexpr char kConverterNotStarted[] = "The image converter could not be started.";
inline constexpr char kDemoSimulatorFailed[] = "The simulated chip could not be started.";

// Frame-buffer transfer.
inline constexpr char kCreateFileFailed[] = "Create file failed!";
inline constexpr char kGetFbufSizeFailed[] = "Get fbuf size failed!:";
inline constexpr char kNoDataInFbuf[] = "No data in FBUF";
inline constexpr char kSetReadFbufFailed[] = "Set read fbuf data failed!:";
inline constexpr char kReadDataTimeOut[] = "Read data time out!";
inline constexpr char kReadRevertFailed[] = "Read revert CMD failed!:";
inline constexpr char kSetWriteFbufFailed[] = "Set write fbuf data failed!:";
inline constexpr char kWriteFbufDataFailed[] = "Write fbuf data failed!:";
inline constexpr char kSetFbufSizeFailed[] = "Set fbuf size failed!:";
inline constexpr char kFbufReadFinished[] = "Fbuf read finished!";
inline constexpr char kFbufWriteFinished[] = "Fbuf write finished!";
// Followed by the path and the reason.
inline constexpr char kWriteFileFailed[] = "Write file failed!";
inline constexpr char kPortLostInTransfer[] = "The port was lost during the transfer.";

// Fbuf window.
inline constexpr char kReadRegisterFailed[] = "Read chip register failed!:";
inline constexpr char kWriteRegisterFailed[] = "Write chip register failed!:";
inline constexpr char kFilePathError[] = "File path error!";
inline constexpr char kOpenFileFailed[] = "Open file failed!";
inline constexpr char kSelectReadFile[] = "Please select the image file to write first!";
inline constexpr char kOpenWriteFile[] = "Please open image file first!";

// On-screen display.
inline constexpr char kIncludeInvalidChar[] = "Include invalid char";

// Motion monitor and the motion windows.
inline constexpr char kOpenCommMotionFailed[] = "Open comm motion failed";
inline constexpr char kCloseCommMotionFailed[] = "Close comm motion failed";
inline constexpr char kCloseCommMotionFirst[] = "Please close comm motion first";
inline constexpr char kMotionWriteFinish[] = "Write Finish";
inline constexpr char kMotionReadFinish[] = "Read Finish";
// Follows "Write chip register failed!:" or "Read chip register failed!:" when the window
// threshold port never came free: the value was not moved.
inline constexpr char kMotionPortBusy[] = "The window threshold port stayed busy for 1000 reads";
// The chip holds window boundaries beyond the chosen image type: followed by the lists concerned.
inline constexpr char kBoundaryOutside[] = "Window boundaries beyond the image type's size:";
inline constexpr char kMotionLogFull[] =
    "The motion log is full: %1 rows are kept; later notifications are counted but not logged.";
inline constexpr char kAlarmTimeEmpty[] = "Please input the alarm time: 0~65535";

// Camera feature windows.
inline constexpr char kGammaReadFailed[] = "Read register failed!:";
inline constexpr char kGammaWriteFailed[] = "Write register failed!:";
// A group whose radios or list show no choice (the chip answered a value they do not offer):
// nothing is sent until one is chosen. %1: the choices, joined by ", ".
inline constexpr char kSelectChoice[] = "Select one of %1 first.";
// A decimal field out of its range or empty. %1: the field's label without its colon.
inline constexpr char kNumberRange[] = "%1 must be a number from %2 to %3.";
// The image-property window's record in the control info.
inline constexpr char kReadE2promFailed[] = "Read e2prom failed!:";
inline constexpr char kWriteE2promFailed[] = "Write e2prom failed!:";
inline constexpr char kNoImagePropertyConfig[] = "No image property config in e2prom";
inline constexpr char kSaveToE2promFinish[] = "Save to e2prom finish";
// A record address whose 5 bytes would run past the 16-bit addresses of the control info: an
// EEPROM would wrap to its start and overwrite the signature. %1: the address as "%04X".
inline constexpr char kImagePropertyPastEnd[] = "Image property config at 0x%1 runs past the end of the e2prom";

// Control info and the Configuration window.
inline constexpr char kNotFindCtrlInfo[] = "Not find ctrl info";
inline constexpr char kStopBitmapFailed[] = "Stop Bitmap failed!";
inline constexpr char kSpiFlashNotModifiable[] = "Program does not support modify spi flash data";
inline constexpr char kChooseSpiFlashFirst[] = "Please chose ctrl info on spi flash first";
inline constexpr char kUnknowFlashType[] = "Unknow flash type";

// Upload and download of the control-info memory, and the flash erase.
inline constexpr char kChipEraseFinish[] = "Chip Erase finish!";
inline constexpr char kWaitForErase[] = "Please wait for erase finish.";
// Asked before the whole flash is erased (not before a download, which erases to write).
inline constexpr char kEraseWholeFlashQuestion[] =
    "Erase the whole SPI flash? Everything on it goes, the control info and the logo included.";
inline constexpr char kSelectUploadFile[] = "Please select file to save upload data";
inline constexpr char kSelectCtrlInfoDevice[] = "Please select device of ctrl info";
inline constexpr char kSelectDeviceSize[] = "Please select device size";
inline constexpr char kCreateUploadFileFailed[] = "Create file failed, exit upload";
inline constexpr char kStopMotionFailed[] = "Stop motion detect failed!";
inline constexpr char kUploadSetupFailed[] = "Write register failed, exit upload";
inline constexpr char kNoCtrlInfoForUpload[] =
    "Not find ctrl info, exit upload, you can select \"Upload whole device data\"";
inline constexpr char kReadCtrlInfoSizeFailed[] = "Read ctrl info size failed, exit upload";
// Amount, device size.
inline constexpr char kCtrlInfoTooLarge[] =
    "Ctrl info size(%1 Byte) is large than device size(%2 Byte),please change device";
inline constexpr char kReadingData[] = "Reading data...";
inline constexpr char kReadDataFailedUpload[] = "Read data failed, exit upload";
inline constexpr char kReadFinish[] = "Read finish";
inline constexpr char kUploadFinish[] = "Upload finish!";
// Path.
inline constexpr char kOpenDownloadFileFailed[] = "Open file (%1) failed!";
inline constexpr char kFileLengthZero[] = "File length is 0, exit download";
// File length, device size.
inline constexpr char kFileTooLong[] = "File size is %1, device max size is %2, can't download";
inline constexpr char kErasingFlash[] = "Erasing flash...";
inline constexpr char kEraseFlashFailed[] = "Erase flash failed, exit download";
inline constexpr char kErasingFinish[] = "Erasing finish";
inline constexpr char kDownloadSetupFailed[] = "Write register failed, exit download";
inline constexpr char kWrittingData[] = "Writting data...";
inline constexpr char kCantBeWrite[] = "Can't be write, exit download";
inline constexpr char kWriteDataFailedDownload[] = "Write data failed, exit download";
inline constexpr char kReadDataFailedDownload[] = "Read data failed, exit download";
inline constexpr char kWriteFinish[] = "Write finish";
inline constexpr char kDownloadFinish[] = "Download finish!";
// Bytes done, bytes in all.
inline constexpr char kCounterFormat[] = "[%1/%2]";

} // namespace zm::msg
