// The page that holds the capture settings until the management page includes them.
import { mountCaptureSettings } from "./capture_settings.js";

await mountCaptureSettings(document.getElementById("capture-settings"));
