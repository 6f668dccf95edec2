<?xml version="1.0" ?>
<PARAMETERS_INFO_SCI_HUB_GET_CMD>
   <MAIN_SCI_HUB_GET_CMD>
      <OrbiscanEnvironment>IDL_ENVI_ENV</OrbiscanEnvironment>
      <progress_file_name>/tmp/orbiscan_scihub_list/scihub_progress.txt</progress_file_name>
      <platformname>Sentinel-1</platformname>
      <sensoroperationalmode>ALL</sensoroperationalmode>
      <producttype>SLC</producttype>
      <ascending_or_descending>ALL</ascending_or_descending>
      <polarisationmode>ALL</polarisationmode>
      <preview_only>OK</preview_only>
      <unzip_files>NotOK</unzip_files>
      <delete_zipped_files>NotOK</delete_zipped_files>
      <wait_until_finish_flag>NotOK</wait_until_finish_flag>
      <input_file_optional_list>
         <VectorString NumberOfElements = "2">
            <ValueString ID = "0">/data/rasters/geocoded_raster.sml</ValueString>
            <ValueString ID = "1">/data/rasters/slant_range_raster.sml</ValueString>
         </VectorString>
      </input_file_optional_list>
      <initial_date_interval>[empty]</initial_date_interval>
      <final_date_interval>2019-05-31</final_date_interval>
      <relativeorbitnumber>-1</relativeorbitnumber>
   </MAIN_SCI_HUB_GET_CMD>
   <ORBSNT_SERVICE_SCIHUB>
      <temp_directory>/tmp/orbiscan_scihub_list</temp_directory>
      <service_url>http://127.0.0.1:9/</service_url>
   </ORBSNT_SERVICE_SCIHUB>
   <ORBSNT_USER_SCIHUB>
      <username>example_user</username>
      <password>example_password</password>
   </ORBSNT_USER_SCIHUB>
</PARAMETERS_INFO_SCI_HUB_GET_CMD>
