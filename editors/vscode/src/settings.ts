// The server's initializationOptions from the extension's settings.
export interface Settings {
  get<T>(name: string): T | undefined;
}

// The thresholds and release the user set; unset ones (null) left out.
export function initializationOptions(settings: Settings): Record<string, number> {
  const options: Record<string, number> = {};
  for (const name of ['maxCc', 'maxCognitive', 'maxNloc', 'java']) {
    const value = settings.get<number | null>(name);
    if (typeof value === 'number' && Number.isInteger(value)) options[name] = value;
  }
  return options;
}
